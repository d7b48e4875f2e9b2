// Both ends of the channel on a real pipe: framing with short reads, the end
// of the pipe inside a message, replies too short to hold a status, and the
// connected state of the hello and quit.

#include <gtest/gtest.h>

#include <thread>

#include "parcels/NamedPipeHandler.h"
#include "parcels/ProxyHandler.h"

namespace {

class Channel : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int count = 0;
        const std::wstring name =
            L"\\\\.\\pipe\\kr-channel-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
        const HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 65536,
                                               65536, 0, nullptr);
        ASSERT_NE(server, INVALID_HANDLE_VALUE);
        near_ = std::make_unique<CProxyHandler>(server, nullptr);
        far_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(far_, INVALID_HANDLE_VALUE);
        ASSERT_EQ(near_->WaitForConnection(), 0u);
    }
    void TearDown() override
    {
        near_.reset();
        if (far_ != INVALID_HANDLE_VALUE)
            CloseHandle(far_);
    }

    void Put(const void* bytes, DWORD count)
    {
        DWORD written = 0;
        WriteFile(far_, bytes, count, &written, nullptr);
    }
    void PutMessage(DWORD type, std::vector<BYTE> payload)
    {
        const DWORD header[4] = {0xDE55ADFF, type, static_cast<DWORD>(payload.size()), 0x55ADFFDE};
        Put(header, sizeof(header));
        if (!payload.empty())
            Put(payload.data(), static_cast<DWORD>(payload.size()));
    }
    DWORD Pending()
    {
        DWORD available = 0;
        PeekNamedPipe(far_, nullptr, 0, nullptr, &available, nullptr);
        return available;
    }

    std::unique_ptr<CProxyHandler> near_;
    HANDLE far_ = INVALID_HANDLE_VALUE;
};

TEST_F(Channel, AMessageArrivingInPiecesIsReadWholeAndWrongMagicIsAccepted)
{
    std::thread writer([this] {
        const DWORD header[4] = {0x11111111, 7, 6, 0x22222222};
        const BYTE payload[6] = {1, 2, 3, 4, 5, 6};
        Put(header, 5);
        Sleep(30);
        Put(reinterpret_cast<const BYTE*>(header) + 5, 11);
        Sleep(30);
        Put(payload, 2);
        Sleep(30);
        Put(payload + 2, 4);
    });
    EXPECT_EQ(near_->ReadMessage(), 0u);
    writer.join();
    EXPECT_EQ(near_->Type(), 7u);
    ASSERT_TRUE(near_->HasPayload());
    EXPECT_EQ(std::vector<BYTE>(near_->Payload().begin(), near_->Payload().end()), (std::vector<BYTE>{1, 2, 3, 4, 5, 6}));
}

TEST_F(Channel, ThePipeEndingInsideAMessageOrATooLargePayloadFailTheRead)
{
    const DWORD too_large[4] = {0xDE55ADFF, 1, CNamedPipeHandler::kMaxPayload + 1, 0x55ADFFDE};
    Put(too_large, sizeof(too_large));
    EXPECT_EQ(near_->ReadMessage(), 0xC0000017u);
    EXPECT_FALSE(near_->HasPayload());

    const DWORD header[4] = {0xDE55ADFF, 1, 100, 0x55ADFFDE};
    Put(header, sizeof(header));
    Put(header, 8);
    CloseHandle(far_);
    far_ = INVALID_HANDLE_VALUE;
    EXPECT_NE(near_->ReadMessage(), 0u);
    EXPECT_FALSE(near_->HasPayload());
}

TEST_F(Channel, SendRequestTakesTheFirstWordOfAnyReplyAnd233WithoutOne)
{
    const struct {
        DWORD type;
        std::vector<BYTE> payload;
        DWORD status;
    } cases[] = {
        {0x80000001, {5, 0, 0, 0}, 5},
        {0x80000003, {9, 0, 0, 0, 1}, 9},
        {0x80000001, {}, 233},
        {0x80000001, {1, 2}, 233},
        {0x80000001, {1, 2, 3}, 233},
    };
    for (const auto& c : cases) {
        PutMessage(c.type, c.payload); // the reply waits in the pipe
        const DWORD data = 1;
        EXPECT_EQ(near_->SendRequest(7, 0, &data, 4, nullptr, 0), c.status);
        // The request went out whole: header, four words, data1 and 4 zero bytes.
        DWORD request[10] = {};
        DWORD done = 0;
        DWORD read = 0;
        while (done < sizeof(request) &&
               ReadFile(far_, reinterpret_cast<BYTE*>(request) + done, sizeof(request) - done, &read, nullptr))
            done += read;
        EXPECT_EQ(request[2], 24u);
        EXPECT_EQ(request[4], 7u);
        EXPECT_EQ(request[6], 4u);
        EXPECT_EQ(request[8], 1u);
        EXPECT_EQ(request[9], 0u);
        EXPECT_EQ(Pending(), 0u);
    }
    EXPECT_EQ(near_->SendRequest(7, 0, nullptr, 4, nullptr, 0), 87u);
    EXPECT_EQ(near_->SendRequest(7, 0, nullptr, 0, nullptr, 1), 87u);
    EXPECT_EQ(Pending(), 0u);
}

TEST_F(Channel, TheHelloConnectsWhateverItsStatusAndOnlyAConnectedEndSendsQuit)
{
    near_->Quit();
    EXPECT_EQ(Pending(), 0u);

    PutMessage(0x80000003, {0x57, 0, 0, 0});
    EXPECT_EQ(near_->Handshake(), 0x57u);
    EXPECT_TRUE(near_->Connected());
    DWORD hello[5] = {};
    DWORD read = 0;
    ReadFile(far_, hello, sizeof(hello), &read, nullptr);
    EXPECT_EQ(hello[1], 3u);
    EXPECT_EQ(hello[4], GetCurrentProcessId());

    near_->Quit();
    DWORD quit[4] = {};
    ReadFile(far_, quit, sizeof(quit), &read, nullptr);
    EXPECT_EQ(read, 16u);
    EXPECT_EQ(quit[1], 4u);
    EXPECT_EQ(quit[2], 0u);
    EXPECT_FALSE(near_->Connected());
    near_->Quit();
    EXPECT_EQ(Pending(), 0u);
}

} // namespace
