// A driver that never acknowledges the cancellation of an abandoned request:
// the transfer still returns, and the request keeps its record to itself.
#include <gtest/gtest.h>

#include <vector>

#include "win/overlapped_channel.h"

namespace korvel::win {
namespace {

// Requests that stay pending for good, whatever is cancelled.
struct DeafDriver {
    static inline std::vector<OVERLAPPED*> records;
    static inline std::vector<void*> buffers;
    static inline int cancels = 0;

    static BOOL WINAPI Read(HANDLE, LPVOID buffer, DWORD, LPDWORD, LPOVERLAPPED record) {
        return Pending(buffer, record);
    }
    static BOOL WINAPI Write(HANDLE, LPCVOID data, DWORD, LPDWORD, LPOVERLAPPED record) {
        return Pending(const_cast<void*>(data), record);
    }
    static BOOL WINAPI Cancel(HANDLE, LPOVERLAPPED) {
        ++cancels;
        return TRUE;
    }
    static BOOL Pending(void* buffer, LPOVERLAPPED record) {
        records.push_back(record);
        buffers.push_back(buffer);
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
};

TEST(StuckCancellation, TransferReturnsAndTheNextOneUsesFreshMemory) {
    Win32Api api = RealWin32Api();
    api.ReadFile = &DeafDriver::Read;
    api.WriteFile = &DeafDriver::Write;
    api.CancelIoEx = &DeafDriver::Cancel;
    OverlappedChannel channel(api, TransferTimeouts{20, 20});
    channel.Attach(reinterpret_cast<HANDLE>(0x4B00));

    uint8_t command[4] = {0x7A, 0xA2, 0x00, 0x00};
    EXPECT_EQ(channel.Write(command, 4), 0);
    uint8_t reply[18] = {};
    EXPECT_EQ(channel.Read(reply, 18), 0);

    ASSERT_EQ(DeafDriver::records.size(), 2u);
    EXPECT_EQ(DeafDriver::cancels, 2);
    EXPECT_EQ(channel.StuckTransfers(), 2);
    EXPECT_NE(DeafDriver::records[0], DeafDriver::records[1]);
    EXPECT_NE(DeafDriver::buffers[0], DeafDriver::buffers[1]);
    // The requests never saw the caller's memory.
    EXPECT_NE(DeafDriver::buffers[0], static_cast<void*>(command));
    EXPECT_NE(DeafDriver::buffers[1], static_cast<void*>(reply));
}

}  // namespace
}  // namespace korvel::win
