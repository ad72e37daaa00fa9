#include <gtest/gtest.h>

#include "stream/frame_codec.h"
#include "stream/stream_endpoint.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(FrameCodecTest, EncodesALittleEndianLengthThenThePayload) {
    const Bytes payload{0x7A, 0xA2, 0xFF, 0x02};
    EXPECT_EQ(EncodeFrame(payload.data(), payload.size()),
              (Bytes{0x04, 0x00, 0x7A, 0xA2, 0xFF, 0x02}));
    EXPECT_EQ(EncodeFrame(nullptr, 0), (Bytes{0x00, 0x00}));
    const Bytes big(300, 1);
    const Bytes frame = EncodeFrame(big.data(), big.size());
    EXPECT_EQ(frame[0], 0x2C);
    EXPECT_EQ(frame[1], 0x01);
    EXPECT_EQ(frame.size(), 302u);
}

TEST(FrameCodecTest, DecoderReassemblesFramesFedInAnyPieces) {
    Bytes stream;
    for (const Bytes& p : {Bytes{1, 2, 3}, Bytes{}, Bytes(18, 9), Bytes{7}}) {
        const Bytes f = EncodeFrame(p.data(), p.size());
        stream.insert(stream.end(), f.begin(), f.end());
    }
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{2}, std::size_t{5}, stream.size()}) {
        SCOPED_TRACE(piece);
        FrameDecoder d;
        std::vector<Bytes> frames;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            d.Feed(stream.data() + at, std::min(piece, stream.size() - at));
            while (d.HasFrame()) {
                frames.push_back(d.PopFrame());
            }
        }
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames[0], (Bytes{1, 2, 3}));
        EXPECT_TRUE(frames[1].empty());
        EXPECT_EQ(frames[2], Bytes(18, 9));
        EXPECT_EQ(frames[3], Bytes{7});
        EXPECT_EQ(d.Buffered(), 0u);
    }
}

TEST(FrameCodecTest, DecoderWaitsForTheWholeOfALongFrame) {
    FrameDecoder d;
    const uint8_t header[] = {0xFF, 0xFF};
    d.Feed(header, 2);
    const Bytes body(65534, 0x33);
    d.Feed(body.data(), body.size());
    EXPECT_FALSE(d.HasFrame());
    EXPECT_TRUE(d.PopFrame().empty());
    const uint8_t last = 0x44;
    d.Feed(&last, 1);
    ASSERT_TRUE(d.HasFrame());
    const Bytes frame = d.PopFrame();
    EXPECT_EQ(frame.size(), 65535u);
    EXPECT_EQ(frame.back(), 0x44);
    d.Feed(header, 1);
    EXPECT_EQ(d.Buffered(), 1u);
    d.Clear();
    EXPECT_EQ(d.Buffered(), 0u);
}

TEST(StreamEndpointTest, ParsesUnixAndTcpForms) {
    StreamEndpoint e;
    std::string error;
    ASSERT_TRUE(ParseStreamEndpoint("unix:/tmp/korvel.sock", e, error));
    EXPECT_EQ(e.kind, StreamEndpoint::Kind::Unix);
    EXPECT_EQ(e.path, "/tmp/korvel.sock");
    ASSERT_TRUE(ParseStreamEndpoint("tcp:127.0.0.1:5025", e, error));
    EXPECT_EQ(e.kind, StreamEndpoint::Kind::Tcp);
    EXPECT_EQ(e.host, "127.0.0.1");
    EXPECT_EQ(e.port, 5025);
    EXPECT_EQ(e.ToString(), "tcp:127.0.0.1:5025");
    ASSERT_TRUE(ParseStreamEndpoint("tcp:[::1]:65535", e, error));
    EXPECT_EQ(e.host, "::1");
    EXPECT_EQ(e.ToString(), "tcp:[::1]:65535");
    ASSERT_TRUE(ParseStreamEndpoint("tcp:localhost:1", e, error));
}

TEST(StreamEndpointTest, RejectsMalformedTextWithAMessage) {
    const std::string longPath(108, 'a');
    for (const std::string& bad :
         {std::string("unix:"), "unix:" + longPath, std::string("tcp:"), std::string("tcp:host"),
          std::string("tcp::80"), std::string("tcp:host:"), std::string("tcp:host:0"),
          std::string("tcp:host:65536"), std::string("tcp:host:80x"), std::string("tcp:host:-1"),
          std::string("tcp:::1:80"), std::string("udp:host:80"), std::string("unix")}) {
        StreamEndpoint e;
        std::string error;
        EXPECT_FALSE(ParseStreamEndpoint(bad, e, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

}  // namespace
}  // namespace korvel
