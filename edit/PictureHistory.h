// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo of the picture operations. Each step is the picture as it was, with whatever the
// window keeps beside it (Extra), taken over rather than copied: an operation makes a new
// picture, and the one it replaces goes into the history instead of being freed. A turn, mirror
// or flip loses nothing: its step keeps no picture, only the edit that takes it back, made again
// on the picture in hand when the step is undone (and its inverse when it is redone).
//
// The history holds at most a quarter of the memory the process could have for pictures if the
// history were empty; the oldest steps go first. A step that alone is larger is not kept, and
// the steps before it go too, since undo could no longer reach them one by one.
#pragma once

#include "GrafikRW.h"
#include "PictureEdit.h"
#include "PictureOps.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <new>
#include <optional>
#include <utility>

// The bytes a picture holds: its rows, header and colour table.
uint64_t PictureBytes(const PictureRecord& picture);

// What the process can still have for pictures, in bytes.
using MemoryLeft = std::function<uint64_t()>;
MemoryLeft SystemMemoryLeft();

template <class Extra> class PictureHistory
{
public:
    struct Step
    {
        PictureRecord picture; // owned by the history while it is in it
        Extra extra;
        // Without a picture: the edit that makes this step's picture from the one it is
        // exchanged with.
        std::optional<PictureEdit> edit = std::nullopt;
    };

    explicit PictureHistory(MemoryLeft left = SystemMemoryLeft()) : left_(std::move(left)) {}
    ~PictureHistory() { Clear(); }
    PictureHistory(const PictureHistory&) = delete;
    PictureHistory& operator=(const PictureHistory&) = delete;

    // The state before an operation; its picture is the history's from now on (released at
    // once when it can't be kept). The steps that were undone are gone. False: not kept, and
    // the operation has no undo.
    bool Keep(Step before)
    {
        Release(redo_);
        const uint64_t bytes = PictureBytes(before.picture);
        const uint64_t bound = Bound(bytes);
        if (!before.picture.Bits || bytes > bound) {
            Dispose(before);
            Release(undo_);
            return false;
        }
        while (!undo_.empty() && bytes_ + bytes > bound) {
            bytes_ -= PictureBytes(undo_.front().picture);
            Dispose(undo_.front());
            undo_.pop_front();
        }
        try {
            undo_.push_back(std::move(before));
        } catch (const std::bad_alloc&) {
            Dispose(before);
            Release(undo_);
            return false;
        }
        bytes_ += bytes;
        return true;
    }

    // The state before an edit that loses nothing, kept as the edit that takes the picture
    // back; the picture before it is not kept (the caller releases it). The steps that were
    // undone are gone. False when not even that could be kept.
    bool KeepUndoneBy(const PictureEdit& back, Extra before)
    {
        Release(redo_);
        try {
            undo_.push_back(Step{PictureRecord(), std::move(before), back});
        } catch (const std::bad_alloc&) {
            Release(undo_);
            return false;
        }
        return true;
    }

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }

    // Exchanges the current state for the one before it; the current one can be redone. False,
    // and current untouched, when there is nothing to undo.
    bool Undo(Step& current) { return Exchange(current, undo_, redo_); }
    // The same the other way.
    bool Redo(Step& current) { return Exchange(current, redo_, undo_); }

    void Clear()
    {
        Release(undo_);
        Release(redo_);
    }

    size_t UndoSteps() const { return undo_.size(); }
    size_t RedoSteps() const { return redo_.size(); }
    uint64_t Bytes() const { return bytes_; }

private:
    // A quarter of what is left, and of what the history and the step to keep already hold.
    uint64_t Bound(uint64_t keeping) const
    {
        const uint64_t left = left_ ? left_() : 0;
        return left / 4 + (bytes_ + keeping) / 4;
    }

    bool Exchange(Step& current, std::deque<Step>& from, std::deque<Step>& to)
    {
        if (from.empty())
            return false;
        if (!from.back().picture.Bits && from.back().edit)
            return ExchangeByEdit(current, from, to);
        try {
            to.push_back(std::move(current));
        } catch (const std::bad_alloc&) {
            return false;
        }
        current = std::move(from.back());
        from.pop_back();
        bytes_ += PictureBytes(to.back().picture);
        bytes_ -= PictureBytes(current.picture);
        return true;
    }

    // The step's picture made from the current one by its edit; the current picture, which
    // the edit's inverse makes again, is released.
    bool ExchangeByEdit(Step& current, std::deque<Step>& from, std::deque<Step>& to)
    {
        const PictureEdit edit = *from.back().edit;
        const std::optional<PictureEdit> back = InverseOf(edit);
        if (!back || !current.picture.Bits)
            return false;
        const PictureRecord made = EditedPicture(current.picture, edit);
        if (!made.Bits)
            return false;
        try {
            to.push_back(Step{PictureRecord(), std::move(current.extra), *back});
        } catch (const std::bad_alloc&) {
            deldib(made);
            return false;
        }
        // Neither picture is the history's: its bytes stay as they were.
        deldib(current.picture);
        current = Step{made, std::move(from.back().extra)};
        from.pop_back();
        return true;
    }

    void Dispose(Step& step)
    {
        if (step.picture.Bits)
            deldib(step.picture);
        step.picture = PictureRecord();
    }

    void Release(std::deque<Step>& steps)
    {
        for (Step& step : steps) {
            bytes_ -= PictureBytes(step.picture);
            Dispose(step);
        }
        steps.clear();
    }

    MemoryLeft left_;
    std::deque<Step> undo_;
    std::deque<Step> redo_;
    uint64_t bytes_ = 0;
};
