// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelperProcess.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

using namespace std::chrono_literals;

const QString kUnexplained = QStringLiteral("The tester stopped unexpectedly.");

// A memory file holding bytes, for the helper to find at a descriptor of its own.
int Document(const QByteArray& bytes)
{
    const int fd = memfd_create("helperprocess-test", MFD_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(pwrite(fd, bytes.constData(), size_t(bytes.size()), 0), bytes.size());
    return fd;
}

} // namespace

TEST(HelperProcess, MessagesComeThroughTheSocketAndTheEndSaysHowTheHelperEnded)
{
    const QByteArray messages = helperwire::Encode(7, "hi", 2) + helperwire::Encode(8, "", 0);
    const struct
    {
        const char* ending;
        QString text;
    } cases[] = {
        {"exit 3", QStringLiteral("The tester stopped unexpectedly (exit status 3).")},
        {"kill -KILL $$", QStringLiteral("The tester stopped unexpectedly (%1).")
                              .arg(QString::fromLocal8Bit(strsignal(SIGKILL)))},
        {"exit 0", kUnexplained},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ending);
        const int document = Document(messages);
        HelperProcess helper(16);
        // The document goes to descriptor 4 and the socket to 3, whatever numbers they had here.
        ASSERT_EQ(helper.Start(QStringLiteral("/bin/sh"),
                               {"-c", QByteArray("cat <&4 >&3; ") + c.ending}, 3, {{document, 4}}),
                  0);
        close(document);
        const auto deadline = HelperProcess::Clock::now() + 60s;
        uint32_t type = 0;
        QByteArray payload;
        ASSERT_EQ(helper.Receive(&type, &payload, deadline, -1, nullptr),
                  HelperProcess::Got::Message);
        EXPECT_EQ(type, 7u);
        EXPECT_EQ(payload, "hi");
        ASSERT_EQ(helper.Receive(&type, &payload, deadline, -1, nullptr),
                  HelperProcess::Got::Message);
        EXPECT_EQ(type, 8u);
        EXPECT_TRUE(payload.isEmpty());
        ASSERT_EQ(helper.Receive(&type, &payload, deadline, -1, nullptr),
                  HelperProcess::Got::Closed);
        EXPECT_EQ(helper.EndText(60s, QStringLiteral("tester"), kUnexplained), c.text);
    }
}

TEST(HelperProcess, ASilentHelperIsLeftAtTheDeadlineThenKilledAndReaped)
{
    HelperProcess helper(16);
    ASSERT_EQ(helper.Start(QStringLiteral("/bin/sh"), {"-c", "exec sleep 1000"}, 3), 0);
    uint32_t type = 0;
    QByteArray payload;
    EXPECT_EQ(helper.Receive(&type, &payload, HelperProcess::Clock::now(), -1, nullptr),
              HelperProcess::Got::TimedOut);
    EXPECT_EQ(kill(helper.pid(), 0), 0);
    helper.Kill();
    EXPECT_TRUE(helper.reaped());
    EXPECT_EQ(kill(helper.pid(), 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(HelperProcess, AStreamWithALongerPayloadThanAllowedIsBroken)
{
    const int document = Document(helperwire::Encode(1, "0123456789abcdefg", 17));
    HelperProcess helper(16);
    ASSERT_EQ(helper.Start(QStringLiteral("/bin/sh"), {"-c", "cat <&4 >&3; sleep 1000"}, 3,
                           {{document, 4}}),
              0);
    close(document);
    uint32_t type = 0;
    QByteArray payload;
    EXPECT_EQ(helper.Receive(&type, &payload, HelperProcess::Clock::now() + 60s, -1, nullptr),
              HelperProcess::Got::Broken);
}
