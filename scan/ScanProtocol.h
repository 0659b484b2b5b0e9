// SPDX-License-Identifier: GPL-3.0-or-later
// The messages between the scanner library and its helper process, which alone loads the
// scanner drivers. Each message is a header of two 32-bit words in the machine's byte order,
// its type and the length of what follows, then that many bytes. The helper greets with its
// protocol version; the library refuses a helper of another version. Structured payloads are
// QDataStream data of a fixed stream version; every list is counted and bounded, so that no
// message can make its reader allocate more than the message holds.
#pragma once

#include "HelperWire.h"
#include "ScanProblem.h"
#include "ScanTypes.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace scanwire {

constexpr uint32_t kVersion = 2;
// Far above any list of devices or settings; frame data comes in pieces of kDataPiece.
constexpr uint32_t kMaxPayload = 1024 * 1024;
constexpr uint32_t kDataPiece = 64 * 1024;

enum class Message : uint32_t
{
    // From the library to the helper.
    List = 1,   // list the devices
    Query = 2,  // ScanRequest: open its device, apply its settings, tell what it offers
    Scan = 3,   // ScanRequest: open, apply, scan
    Cancel = 4, // stop the running scan
    Quit = 5,   // stop SANE and end

    // From the helper to the library.
    Hello = 100,        // version: the helper is up and SANE started
    Devices = 101,      // the answer to List
    Capabilities = 102, // the answer to Query
    Failure = 103,      // ScanProblem: a request failed, for the program to word
    FrameBegin = 104,   // FrameLayout and the frame's number: a frame's lines follow
    FrameData = 105,    // raw bytes of the frame's lines
    FrameEnd = 106,     // the frame is complete
    ScanDone = 107,     // every frame has come
    Alive = 108,        // the device is still getting ready (a lamp warming up)
    Ready = 109,        // the request is over and the device closed: the next may come
};

// Whether a type may come from that side at all.
bool FromLibrary(uint32_t type);
bool FromHelper(uint32_t type);

// A whole message, header and payload.
QByteArray Encode(Message type, const QByteArray& payload = {});

QByteArray EncodeVersion(uint32_t version);
bool DecodeVersion(const QByteArray& payload, uint32_t* version);
QByteArray EncodeProblem(const ScanProblem& problem);
// Also checks that the code is known and carries its number of details.
bool DecodeProblem(const QByteArray& payload, ScanProblem* problem);
QByteArray EncodeRequest(const ScanRequest& request);
bool DecodeRequest(const QByteArray& payload, ScanRequest* request);
QByteArray EncodeDevices(const QList<ScannerDevice>& devices);
bool DecodeDevices(const QByteArray& payload, QList<ScannerDevice>* devices);
QByteArray EncodeCapabilities(const ScannerCapabilities& caps);
bool DecodeCapabilities(const QByteArray& payload, ScannerCapabilities* caps);
QByteArray EncodeFrame(const FrameLayout& layout, int frameIndex);
// Also checks that the layout is one a frame can have: a known kind, positive sizes.
bool DecodeFrame(const QByteArray& payload, FrameLayout* layout, int* frameIndex);

// Cuts a byte stream into messages as it arrives; a longer payload than kMaxPayload breaks it.
class MessageReader : public helperwire::MessageReader
{
public:
    MessageReader() : helperwire::MessageReader(kMaxPayload) {}
};

} // namespace scanwire
