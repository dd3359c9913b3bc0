#include "shell/ViewSync.h"
#include "ShellTestSupport.h"
#include "shell/ViewSyncClient.h"

#include <QLocalSocket>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// Frames written independently of the codec.
std::vector<uint8_t> ViewBytes(uint32_t count, std::initializer_list<float> values) {
    sptest::ByteBuilder b;
    b.U32(0x28061973).U32(count);
    for (float v : values)
        b.F32(v);
    return b.Data();
}

std::vector<uint8_t> AxisBytes(float distance) {
    sptest::ByteBuilder b;
    b.U32(0x26081978).U32(4).F32(distance);
    return b.Data();
}

std::vector<TSyncFrame> ReadAll(const std::vector<uint8_t> &bytes, std::size_t piece) {
    TSyncFrameReader reader;
    std::vector<TSyncFrame> frames;
    for (std::size_t pos = 0; pos < bytes.size(); pos += piece) {
        reader.Append(bytes.data() + pos, std::min(piece, bytes.size() - pos));
        TSyncFrame f;
        while (reader.Next(f))
            frames.push_back(f);
    }
    return frames;
}

TSyncFrame Frame(const std::vector<uint8_t> &bytes) {
    const auto frames = ReadAll(bytes, bytes.size());
    return frames.empty() ? TSyncFrame{} : frames.front();
}

// A raw connection to a socket that never reads what it is sent.
int ConnectRaw(const std::string &path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class ViewSyncHub : public shelltest::ShellTest {
protected:
    QString Socket() const { return QString::fromStdString(dir_.File("hub")); }
    sptest::TempDir dir_;
};

} // namespace

TEST(ViewSyncCodec, FramesAreLittleEndianAndRoundTrip) {
    const TSyncView view{10.5f, -3.25f, 0.f, 0.02f, 0.7f};
    EXPECT_EQ(EncodeViewFrame(view), ViewBytes(20, {10.5f, -3.25f, 0.f, 0.02f, 0.7f}));
    EXPECT_EQ(EncodeAxisFrame(125.f), AxisBytes(125.f));
    EXPECT_EQ(DecodeViewFrame(Frame(EncodeViewFrame(view))), view);
    EXPECT_EQ(DecodeAxisFrame(Frame(AxisBytes(-2.5f))), -2.5f);
}

TEST(ViewSyncCodec, InvalidFramesAreIgnored) {
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
    };
    const Case views[] = {
        {"too short", ViewBytes(16, {1, 2, 3, 4})},
        {"too long", ViewBytes(24, {1, 2, 3, 4, 5, 6})},
        {"empty", ViewBytes(0, {})},
        {"NaN centre", ViewBytes(20, {NaN, 0, 0, 1, 0})},
        {"infinite z", ViewBytes(20, {0, 0, -Inf, 1, 0})},
        {"infinite angle", ViewBytes(20, {0, 0, 0, 1, Inf})},
        {"NaN scale", ViewBytes(20, {0, 0, 0, NaN, 0})},
        {"zero scale", ViewBytes(20, {0, 0, 0, 0, 0})},
        {"negative scale", ViewBytes(20, {0, 0, 0, -0.5f, 0})},
        {"an axis frame", AxisBytes(3)},
    };
    for (const Case &c : views)
        EXPECT_FALSE(DecodeViewFrame(Frame(c.bytes))) << c.name;
    sptest::ByteBuilder shortAxis, longAxis, otherCode;
    shortAxis.U32(0x26081978).U32(3).U8(1).U8(2).U8(3);
    longAxis.U32(0x26081978).U32(8).F32(1).F32(2);
    otherCode.U32(0x12345678).U32(4).F32(1);
    EXPECT_FALSE(DecodeAxisFrame(Frame(shortAxis.Data())));
    EXPECT_FALSE(DecodeAxisFrame(Frame(longAxis.Data())));
    EXPECT_FALSE(DecodeAxisFrame(Frame(AxisBytes(NaN))));
    EXPECT_FALSE(DecodeAxisFrame(Frame(otherCode.Data())));
    EXPECT_FALSE(DecodeViewFrame(Frame(otherCode.Data())));
}

TEST(ViewSyncCodec, StreamsSplitIntoFramesWhateverThePieces) {
    std::vector<uint8_t> stream;
    const auto add = [&](const std::vector<uint8_t> &b) { stream.insert(stream.end(), b.begin(), b.end()); };
    add(ViewBytes(20, {1, 2, 3, 4, 5}));
    // An over-long frame is skipped, not stored, and the stream stays in step.
    sptest::ByteBuilder huge;
    huge.U32(0x28061973).U32(SyncMaxPayload + 1);
    add(huge.Data());
    add(std::vector<uint8_t>(SyncMaxPayload + 1, 0xAB));
    add(AxisBytes(7));
    add(ViewBytes(12, {1, 2, 3}));
    for (std::size_t piece :
         {std::size_t(1), std::size_t(3), std::size_t(7), std::size_t(29), stream.size()}) {
        const auto frames = ReadAll(stream, piece);
        ASSERT_EQ(frames.size(), 3u) << piece;
        EXPECT_EQ(DecodeViewFrame(frames[0]), (TSyncView{1, 2, 3, 4, 5})) << piece;
        EXPECT_EQ(DecodeAxisFrame(frames[1]), 7.f) << piece;
        EXPECT_EQ(frames[2].Payload.size(), 12u) << piece;
    }
    // A count of four gigabytes is skipped as it arrives: nothing is held.
    TSyncFrameReader reader;
    sptest::ByteBuilder giant;
    giant.U32(0x28061973).U32(0xFFFFFFFFu);
    reader.Append(giant.Data().data(), giant.Size());
    const std::vector<uint8_t> filler(100000, 0);
    TSyncFrame f;
    EXPECT_FALSE(reader.Next(f));
    reader.Append(filler.data(), filler.size());
    EXPECT_FALSE(reader.Next(f));
    EXPECT_EQ(reader.Buffered(), 0u);
    EXPECT_EQ(reader.SkippedFrames(), 1u);
    // A partial frame waits for its rest.
    TSyncFrameReader partial;
    const auto v = ViewBytes(20, {1, 2, 3, 4, 5});
    partial.Append(v.data(), 27);
    EXPECT_FALSE(partial.Next(f));
    partial.Append(v.data() + 27, 1);
    EXPECT_TRUE(partial.Next(f));
}

TEST_F(ViewSyncHub, ViewsGoBothWaysThroughTheHub) {
    shelltest::HubProcess hub(Socket());
    ASSERT_TRUE(hub.Started()) << shelltest::SyncHubProgram();
    shelltest::SyncPeer a(Socket()), b(Socket());
    ASSERT_TRUE(shelltest::WaitUntil([&] { return a.client.IsConnected() && b.client.IsConnected(); }));

    const TSyncView v1{100.f, 200.f, 0.f, 0.05f, 0.25f};
    EXPECT_TRUE(a.client.SendViewSync(v1));
    ASSERT_TRUE(shelltest::WaitUntil([&] { return !b.views.empty(); }));
    EXPECT_EQ(b.views.back(), v1);
    // The view received is not echoed back when it is drawn.
    EXPECT_FALSE(b.client.SendViewSync(v1));

    const TSyncView v2{-5.f, 7.5f, 1.f, 2.f, -1.f};
    EXPECT_TRUE(b.client.SendViewSync(v2));
    ASSERT_TRUE(shelltest::WaitUntil([&] { return !a.views.empty(); }));
    EXPECT_EQ(a.views.back(), v2);
    // An unchanged view is sent once.
    EXPECT_FALSE(b.client.SendViewSync(v2));
    EXPECT_TRUE(a.views.size() == 1 && b.views.size() == 1);

    // An inactive program sends nothing.
    a.client.SetActiveCheck([] { return false; });
    EXPECT_FALSE(a.client.SendViewSync(TSyncView{1, 1, 1, 1, 1}));
}

TEST_F(ViewSyncHub, BadFramesFromAPeerAreIgnored) {
    shelltest::HubProcess hub(Socket());
    ASSERT_TRUE(hub.Started()) << shelltest::SyncHubProgram();
    shelltest::SyncPeer a(Socket());
    QLocalSocket raw;
    raw.connectToServer(Socket());
    ASSERT_TRUE(raw.waitForConnected(5000));
    ASSERT_TRUE(shelltest::WaitUntil([&] { return a.client.IsConnected(); }));

    std::vector<uint8_t> bytes;
    for (const auto &f :
         {ViewBytes(12, {1, 2, 3}), ViewBytes(20, {NaN, 0, 0, 1, 0}), ViewBytes(20, {0, 0, 0, 0, 0}),
          ViewBytes(20, {0, Inf, 0, 1, 0}), AxisBytes(NaN), AxisBytes(42.5f), ViewBytes(20, {3, 4, 5, 6, 7})})
        bytes.insert(bytes.end(), f.begin(), f.end());
    raw.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size()));
    raw.flush();
    ASSERT_TRUE(shelltest::WaitUntil([&] { return !a.views.empty(); }));
    EXPECT_EQ(a.views, (std::vector<TSyncView>{{3, 4, 5, 6, 7}}));
    EXPECT_EQ(a.axes, std::vector<float>{42.5f});
}

TEST_F(ViewSyncHub, APeerThatNeverReadsBlocksNobody) {
    shelltest::HubProcess hub(Socket());
    ASSERT_TRUE(hub.Started()) << shelltest::SyncHubProgram();
    const int stuck = ConnectRaw(Socket().toStdString());
    ASSERT_GE(stuck, 0);
    shelltest::SyncPeer a(Socket()), b(Socket());
    ASSERT_TRUE(shelltest::WaitUntil([&] { return a.client.IsConnected() && b.client.IsConnected(); }));

    // Far more than the stuck peer's socket can hold: every send returns at once, and what waits in the
    // sender stays bounded.
    int sent = 0;
    TSyncView last;
    for (int i = 1; i <= 30000; ++i) {
        last = TSyncView{float(i), 0.f, 0.f, 1.f, 0.f};
        sent += a.client.SendViewSync(last);
        EXPECT_LE(a.client.PendingBytes(), TViewSyncClient::MaxPendingBytes);
        if (i % 100 == 0)
            QCoreApplication::processEvents();
    }
    EXPECT_GT(sent, 0);
    // The reading peer still gets views, up to the last one drawn: sent now or as soon as the hub reads.
    const TSyncView final{-1.f, -1.f, 0.f, 1.f, 0.f};
    a.client.SendViewSync(final);
    ASSERT_TRUE(shelltest::WaitUntil([&] { return !b.views.empty() && b.views.back() == final; }, 10000));
    EXPECT_TRUE(hub.Running());
    // When the stuck peer reads at last, the latest view reaches it too.
    std::vector<uint8_t> received;
    const std::vector<uint8_t> finalBytes = ViewBytes(20, {-1, -1, 0, 1, 0});
    EXPECT_TRUE(shelltest::WaitUntil([&] {
        uint8_t buffer[4096];
        const ssize_t n = ::recv(stuck, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            received.insert(received.end(), buffer, buffer + n);
        return received.size() >= finalBytes.size() &&
               std::equal(finalBytes.begin(), finalBytes.end(),
                          received.end() - static_cast<std::ptrdiff_t>(finalBytes.size()));
    }));
    ::close(stuck);
}

TEST_F(ViewSyncHub, AHubThatNeverReadsDoesNotBlockTheProgram) {
    // A listening socket that accepts and never reads.
    const std::string path = Socket().toStdString();
    const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(server, 4), 0);
    shelltest::SyncPeer a(Socket());
    ASSERT_TRUE(shelltest::WaitUntil([&] { return a.client.IsConnected(); }));
    const int accepted = ::accept(server, nullptr, nullptr);
    ASSERT_GE(accepted, 0);
    int sent = 0, dropped = 0;
    for (int i = 1; i <= 30000; ++i) {
        (a.client.SendViewSync(TSyncView{float(i), 0.f, 0.f, 1.f, 0.f}) ? sent : dropped)++;
        EXPECT_LE(a.client.PendingBytes(), TViewSyncClient::MaxPendingBytes);
        if (i % 100 == 0)
            QCoreApplication::processEvents();
    }
    EXPECT_GT(sent, 0);
    EXPECT_GT(dropped, 0); // the kernel's buffer filled up and frames were dropped, not queued

    // Once the hub reads again, the last view the program drew reaches it, after everything sent before.
    std::vector<uint8_t> received;
    const auto readSome = [&] {
        uint8_t buffer[4096];
        const ssize_t n = ::recv(accepted, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0)
            received.insert(received.end(), buffer, buffer + n);
    };
    const std::vector<uint8_t> last = ViewBytes(20, {30000, 0, 0, 1, 0});
    EXPECT_TRUE(shelltest::WaitUntil([&] {
        readSome();
        return received.size() >= last.size() &&
               std::equal(last.begin(), last.end(),
                          received.end() - static_cast<std::ptrdiff_t>(last.size()));
    }));
    EXPECT_EQ(received.size() % last.size(), 0u);
    EXPECT_FALSE(a.client.SendViewSync(TSyncView{30000, 0, 0, 1, 0})) << "it was sent";
    ::close(accepted);
    ::close(server);
}

TEST_F(ViewSyncHub, WithoutAHubNothingIsSent) {
    shelltest::SyncPeer a(Socket());
    QCoreApplication::processEvents();
    EXPECT_FALSE(a.client.IsConnected());
    EXPECT_FALSE(a.client.SendViewSync(TSyncView{1, 2, 3, 4, 5}));
    // A hub that starts later is found.
    shelltest::HubProcess hub(Socket());
    ASSERT_TRUE(hub.Started());
    EXPECT_TRUE(shelltest::WaitUntil([&] { return a.client.IsConnected(); }, 5000));
}
