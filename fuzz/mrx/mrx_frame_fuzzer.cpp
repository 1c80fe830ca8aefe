// Router frames from an untrusted peer: the stream splitter and every payload
// decoder must refuse bad input without reading past the bytes given.
#include <cstddef>
#include <cstdint>

#include "MrxWire.h"

using namespace ZtMrxWire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte picks the chunk size the stream arrives in.
    const size_t chunk = 1 + data[0] % 64;
    FrameReader reader;
    Header h;
    std::vector<uint8_t> payload;
    for (size_t pos = 1; pos < size; pos += chunk) {
        size_t n = std::min(chunk, size - pos);
        reader.Append(data + pos, n);
        for (;;) {
            Status s = reader.Next(h, payload);
            if (s != Status::Ok) break;
            Hello hello;
            ReadRequest rr;
            WriteRequest wr;
            ReadWriteRequest rw;
            WriteControlRequest wc;
            AddNotificationRequest an;
            Sample sample;
            std::span<const uint8_t> bytes;
            uint32_t u = 0;
            uint16_t a = 0, b = 0;
            std::span<const uint8_t> p(payload);
            (void)DecodeHello(p, hello);
            (void)DecodeRead(p, rr);
            (void)DecodeWrite(p, wr);
            (void)DecodeReadWrite(p, rw);
            (void)DecodeWriteControl(p, wc);
            (void)DecodeAddNotification(p, an);
            (void)DecodeU32(p, u);
            (void)DecodeReadState(p, a, b);
            (void)DecodeDataReply(p, h.error != 0, bytes);
            if (DecodeSample(p, sample) == Status::Ok && !sample.data.empty()) {
                volatile uint8_t last = sample.data[sample.data.size() - 1];
                (void)last;
            }
        }
    }
    return 0;
}
