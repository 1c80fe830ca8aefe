#include "MrxWire.h"

#include <gtest/gtest.h>

namespace {

using namespace ZtMrxWire;

TEST(MrxWire, HeaderBytesAreLittleEndianAtFixedOffsets) {
    Header h;
    h.command = static_cast<uint16_t>(Command::ReadWrite);
    h.flags = kFlagReply;
    h.invokeId = 0x11223344;
    h.error = 0x705;
    const uint8_t t[6] = {5, 80, 201, 232, 1, 1}, s[6] = {10, 0, 0, 1, 1, 1};
    std::memcpy(h.targetNetId, t, 6);
    h.targetPort = 132;
    std::memcpy(h.sourceNetId, s, 6);
    h.sourcePort = 0x8001;
    auto frame = FrameBuilder(h).U32(0xAABBCCDD).Finish();
    const std::vector<uint8_t> expect = {
        36,   0,    0,    0,     // length: header + 4
        4,    0,                 // command
        1,    0,                 // flags: reply
        0x44, 0x33, 0x22, 0x11,  // invoke id
        0x05, 0x07, 0,    0,     // error
        5,    80,   201,  232,  1, 1, 132, 0,  // target
        10,   0,    0,    1,    1, 1, 0x01, 0x80,  // source
        0xDD, 0xCC, 0xBB, 0xAA};
    EXPECT_EQ(frame, expect);
    Header back;
    ASSERT_EQ(DecodeHeader(frame, back), Status::Ok);
    EXPECT_EQ(back.length, 36u);
    EXPECT_EQ(back.invokeId, 0x11223344u);
    EXPECT_EQ(back.sourcePort, 0x8001);
    EXPECT_TRUE(back.IsReply());
}

TEST(MrxWire, HeaderChecks) {
    auto make = [](uint32_t len, uint16_t cmd, uint16_t flags) {
        std::vector<uint8_t> b(kHeaderSize, 0);
        Put32(b.data(), len);
        Put16(b.data() + 4, cmd);
        Put16(b.data() + 6, flags);
        return b;
    };
    Header h;
    struct Case {
        std::vector<uint8_t> bytes;
        Status expect;
    } cases[] = {
        {make(32, 2, 0), Status::Ok},
        {make(31, 2, 0), Status::BadLength},
        {make(0, 2, 0), Status::BadLength},
        {make(kMaxFrame, 2, 0), Status::Ok},
        {make(kMaxFrame + 1, 2, 0), Status::TooLong},
        {make(32, 0, 0), Status::BadCommand},
        {make(32, kLastCommand + 1, 0), Status::BadCommand},
        {make(32, 2, 2), Status::BadCommand},
        {std::vector<uint8_t>(31, 0), Status::TooShort},
    };
    for (auto& c : cases) EXPECT_EQ(DecodeHeader(c.bytes, h), c.expect);
}

TEST(MrxWire, PayloadDecodersCheckLengths) {
    std::vector<uint8_t> rw = {1, 0, 0, 0, 2, 0, 0, 0, 8, 0, 0, 0, 3, 0, 0, 0, 9, 9, 9};
    ReadWriteRequest r;
    ASSERT_EQ(DecodeReadWrite(rw, r), Status::Ok);
    EXPECT_EQ(r.indexGroup, 1u);
    EXPECT_EQ(r.readLength, 8u);
    EXPECT_EQ(r.data.size(), 3u);
    rw.push_back(0);  // one byte more than the write length says
    EXPECT_EQ(DecodeReadWrite(rw, r), Status::BadLength);
    rw.resize(10);
    EXPECT_EQ(DecodeReadWrite(rw, r), Status::TooShort);

    std::span<const uint8_t> data;
    std::vector<uint8_t> reply = {2, 0, 0, 0, 7, 7};
    EXPECT_EQ(DecodeDataReply(reply, false, data), Status::Ok);
    EXPECT_EQ(data.size(), 2u);
    reply[0] = 0xFF;
    EXPECT_EQ(DecodeDataReply(reply, false, data), Status::BadLength);
    EXPECT_EQ(DecodeDataReply({}, true, data), Status::Ok);
    EXPECT_EQ(DecodeDataReply({}, false, data), Status::TooShort);

    std::vector<uint8_t> sample(16, 0);
    Put32(sample.data() + 12, 1);
    Sample s;
    EXPECT_EQ(DecodeSample(sample, s), Status::BadLength);
    sample.push_back(0x42);
    ASSERT_EQ(DecodeSample(sample, s), Status::Ok);
    EXPECT_EQ(s.data[0], 0x42);
    uint32_t v;
    EXPECT_EQ(DecodeU32(std::vector<uint8_t>(5), v), Status::TooLong);
    AddNotificationRequest a;
    EXPECT_EQ(DecodeAddNotification(std::vector<uint8_t>(39), a), Status::TooShort);
}

TEST(MrxWire, ReaderSplitsStreamAndStaysFailedAfterGarbage) {
    Header h;
    h.command = static_cast<uint16_t>(Command::Read);
    auto f1 = FrameBuilder(h).U32(1).U32(2).U32(3).Finish();
    auto f2 = FrameBuilder(h).U32(4).U32(5).U32(6).Finish();
    std::vector<uint8_t> stream = f1;
    stream.insert(stream.end(), f2.begin(), f2.end());
    FrameReader reader;
    Header out;
    std::vector<uint8_t> payload;
    // Byte by byte: a frame appears only once it is complete.
    int frames = 0;
    for (uint8_t b : stream) {
        reader.Append(&b, 1);
        while (reader.Next(out, payload) == Status::Ok) {
            ++frames;
            EXPECT_EQ(payload.size(), 12u);
        }
    }
    EXPECT_EQ(frames, 2);
    std::vector<uint8_t> junk(40, 0xFF);
    reader.Append(junk.data(), junk.size());
    EXPECT_EQ(reader.Next(out, payload), Status::TooLong);
    reader.Append(f1.data(), f1.size());
    EXPECT_EQ(reader.Next(out, payload), Status::TooLong);
}

}  // namespace
