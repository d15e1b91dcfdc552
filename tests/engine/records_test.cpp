// Byte layout of the work files' records.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/Records.h"

namespace parelix {
namespace {

TEST(RecordsTest, FileEntryLayoutIsLittleEndianWithWideDirectoryIndex) {
    std::uint8_t record[kFileEntrySize];
    std::memset(record, 0xAA, sizeof record);
    encodeFileEntry(FileEntry{"photo.jpg", -2, 0x00030002u, 0x11223344u}, record);

    EXPECT_EQ(record[0], 9);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(record + 1), 9), "photo.jpg");
    const std::uint8_t tail[12] = {0xFE, 0xFF, 0xFF, 0xFF,    // size -2
                                   0x02, 0x00,                // directory index, low half
                                   0x03, 0x00,                // directory index, high half
                                   0x44, 0x33, 0x22, 0x11};   // node
    for (int k = 0; k < 12; ++k) EXPECT_EQ(record[256 + k], tail[k]) << "byte " << 256 + k;

    const FileEntry back = decodeFileEntry(record);
    EXPECT_EQ(back.name, "photo.jpg");
    EXPECT_EQ(back.size, -2);
    EXPECT_EQ(back.dirIndex, 0x00030002u);
    EXPECT_EQ(back.node, 0x11223344u);
    const FileEntryView view(record);
    EXPECT_EQ(view.size(), -2);
    EXPECT_EQ(view.dirIndex(), 0x00030002u);
    EXPECT_EQ(view.node(), 0x11223344u);
    EXPECT_EQ(view.name(), "photo.jpg");
}

TEST(RecordsTest, FieldEncoderMatchesEntryEncoderAndCutsNamesAt255) {
    const std::string longName(300, 'n');
    std::uint8_t a[kFileEntrySize] = {};
    std::uint8_t b[kFileEntrySize] = {};
    encodeFileEntry(FileEntry{longName, 70000, 65536u, 7u}, a);
    encodeFileEntry(longName, 70000, 65536u, 7u, b);
    EXPECT_EQ(std::memcmp(a, b, kFileEntrySize), 0);
    EXPECT_EQ(a[0], 255);
    EXPECT_EQ(FileEntryView(a).name(), std::string(255, 'n'));
    // 65536 lies wholly in the high half.
    EXPECT_EQ(a[260], 0);
    EXPECT_EQ(a[261], 0);
    EXPECT_EQ(a[262], 1);
    EXPECT_EQ(a[263], 0);
    EXPECT_EQ(FileEntryView(a).size(), 70000);
}

TEST(RecordsTest, DirectoryRecordIsLengthPrefixedAndCut) {
    std::uint8_t record[kDirRecordSize];
    encodeDirRecord("C:\\tmp\\a\\", record);
    EXPECT_EQ(record[0], 9);
    EXPECT_EQ(decodeDirRecord(record), "C:\\tmp\\a\\");

    const std::string longPath = "C:\\" + std::string(300, 'p');
    encodeDirRecord(longPath, record);
    EXPECT_EQ(record[0], 255);
    EXPECT_EQ(decodeDirRecord(record), longPath.substr(0, 255));
}

}  // namespace
}  // namespace parelix
