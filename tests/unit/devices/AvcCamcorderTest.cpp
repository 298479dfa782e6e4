// The camcorder's tape subunit: answers, refusals and malformed requests.
#include "devices/Camcorder.h"
#include "devices/DeviceTypes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Exchange {
    HRESULT hr;
    std::string strResponse;
};

std::vector<uint8_t> Bytes(const std::string& strHex) {
    std::vector<uint8_t> vec;
    for (size_t i = 0; i + 1 < strHex.size() + 1; i += 3) vec.push_back(static_cast<uint8_t>(std::stoul(strHex.substr(i, 2), nullptr, 16)));
    return vec;
}

Exchange Send(devices::Camcorder& camcorder, const std::string& strHex) {
    std::vector<uint8_t> buffer(devices::MaxAvcFrame, 0);
    const std::vector<uint8_t> frame = Bytes(strHex);
    std::copy(frame.begin(), frame.end(), buffer.begin());
    ULONG nResponse = 0;
    const HRESULT hr = camcorder.HandleAvcFrame(buffer.data(), static_cast<ULONG>(frame.size()), nResponse, 0);
    std::string strResponse;
    char sz[4];
    for (ULONG i = 0; i < nResponse; ++i) {
        std::snprintf(sz, sizeof sz, i ? " %02X" : "%02X", buffer[i]);
        strResponse += sz;
    }
    return Exchange{hr, strResponse};
}

TEST(AvcCamcorder, AnswersTheStatusQueriesOverTheRequest) {
    devices::Camcorder camcorder{devices::CamcorderSettings{}};
    EXPECT_EQ("0C 20 00 00 00 3D 00 01 30 FF 01", Send(camcorder, "01 20 00 00 00 3D 00 01 30 FF FF").strResponse);
    EXPECT_EQ("0C 20 00 00 00 3D 00 10 09 38 03 00 FF", Send(camcorder, "01 20 00 00 00 3D 00 10 09 FF FF FF FF").strResponse);
    EXPECT_EQ("0C 20 00 00 00 3D 00 10 12 01", Send(camcorder, "01 20 00 00 00 3D 00 10 12 FF").strResponse);
    EXPECT_EQ("0C 20 C4 60", Send(camcorder, "01 20 D0 7F").strResponse);
    EXPECT_EQ("0C 20 DA 31 30", Send(camcorder, "01 20 DA 7F 7F").strResponse);
    camcorder.Settings().transport = devices::Transport::EndOfTape;
    camcorder.Settings().bDVControl = false;
    camcorder.Settings().mode = devices::CamcorderMode::Vcr;
    camcorder.Settings().medium = devices::Medium::Card;
    EXPECT_EQ("0C 20 00 00 00 3D 00 01 30 FF 00", Send(camcorder, "01 20 00 00 00 3D 00 01 30 FF FF").strResponse);
    EXPECT_EQ("0C 20 00 00 00 3D 00 10 09 20 02 00 FF", Send(camcorder, "01 20 00 00 00 3D 00 10 09 FF FF FF FF").strResponse);
    EXPECT_EQ("0C 20 00 00 00 3D 00 10 12 00", Send(camcorder, "01 20 00 00 00 3D 00 10 12 FF").strResponse);
    EXPECT_TRUE(camcorder.UnknownRequests().empty());
}

TEST(AvcCamcorder, MalformedRequestsAreNotImplementedOrRefusedByTheDriver) {
    devices::Camcorder camcorder{devices::CamcorderSettings{}};
    const char* const malformed[] = {
        "01 21 D0 7F",                              // another subunit
        "02 20 D0 7F",                              // neither CONTROL nor STATUS
        "01 20 D0 7F 00",                           // one byte too many
        "01 20 DA 7F 00",                           // wrong operand
        "01 20 00 00 00 3D 00 01 30 FF",            // DV-control query one byte short
        "01 20 00 00 00 3E 00 01 30 FF FF",         // another company
        "01 20 00 00 00 3D 00 10 09 FF FF FF 00",   // wrong padding
        "00 20 00 00 00 3D 00 01 32 00 00 00 00 00 FF FF FF FF FF FF FF FF FF 00",  // PC information padding
        "00 20 00 00 00 3D 00 01 32 00 00 00 00 00 FF FF FF FF FF FF FF FF FF",     // PC information short
        "00 20 C2 76",                              // no such RECORD operand
    };
    for (const char* pszFrame : malformed) {
        const Exchange exchange = Send(camcorder, pszFrame);
        EXPECT_EQ(ERROR_NOT_SUPPORTED, exchange.hr) << pszFrame;
        EXPECT_EQ("08", exchange.strResponse.substr(0, 2)) << pszFrame;
    }
    EXPECT_EQ(std::size(malformed), camcorder.UnknownRequests().size());
    EXPECT_FALSE(camcorder.Report().bPcInfoSeen);

    ULONG nResponse = 0;
    uint8_t abyShort[2] = {0x01, 0x20};
    EXPECT_EQ(E_INVALIDARG, camcorder.HandleAvcFrame(abyShort, 2, nResponse, 0));
    std::vector<uint8_t> large(devices::MaxAvcFrame + 1, 0);
    EXPECT_EQ(E_INVALIDARG, camcorder.HandleAvcFrame(large.data(), static_cast<ULONG>(large.size()), nResponse, 0));
}

TEST(AvcCamcorder, FaultsApplyToTheirKindForTheirCount) {
    devices::Camcorder camcorder{devices::CamcorderSettings{}};
    camcorder.SetFault(devices::AvcFaultType::Refuse, devices::AvcCommandKind::DVMode, 2);
    EXPECT_EQ(S_OK, Send(camcorder, "01 20 D0 7F").hr);  // another kind is answered
    Exchange refused = Send(camcorder, "01 20 00 00 00 3D 00 10 09 FF FF FF FF");
    EXPECT_EQ(ERROR_REQ_NOT_ACCEP, refused.hr);
    EXPECT_EQ("0A 20 00 00 00 3D 00 10 09 FF FF FF FF", refused.strResponse);
    EXPECT_EQ(ERROR_REQ_NOT_ACCEP, Send(camcorder, "01 20 00 00 00 3D 00 10 09 FF FF FF FF").hr);
    EXPECT_EQ(S_OK, Send(camcorder, "01 20 00 00 00 3D 00 10 09 FF FF FF FF").hr);

    camcorder.SetFault(devices::AvcFaultType::TimeOut, devices::AvcCommandKind::Any, -1);
    for (int i = 0; i < 5; ++i) {
        const Exchange timedOut = Send(camcorder, "01 20 D0 7F");
        EXPECT_EQ(ERROR_TIMEOUT, timedOut.hr);
        EXPECT_EQ("", timedOut.strResponse);
    }
    camcorder.SetFault(devices::AvcFaultType::TimeOut, devices::AvcCommandKind::Any, 0);
    EXPECT_EQ(S_OK, Send(camcorder, "01 20 D0 7F").hr);
}

TEST(AvcCamcorder, TransportCommandsMoveTheTapeWhenTheyCan) {
    devices::Camcorder camcorder{devices::CamcorderSettings{}};
    EXPECT_EQ("09 20 C2 7D", Send(camcorder, "00 20 C2 7D").strResponse);
    EXPECT_EQ(devices::Transport::RecordPause, camcorder.Settings().transport);
    EXPECT_EQ("0C 20 C2 7D", Send(camcorder, "01 20 D0 7F").strResponse);
    EXPECT_EQ(S_OK, Send(camcorder, "00 20 C2 75").hr);
    EXPECT_EQ("0C 20 C2 75", Send(camcorder, "01 20 D0 7F").strResponse);
    EXPECT_EQ(S_OK, Send(camcorder, "00 20 C4 60").hr);
    EXPECT_EQ(devices::Transport::Stopped, camcorder.Settings().transport);

    camcorder.Settings().transport = devices::Transport::NoCassette;
    EXPECT_EQ("0C 20 C1 60", Send(camcorder, "01 20 D0 7F").strResponse);
    const Exchange rejected = Send(camcorder, "00 20 C2 75");
    EXPECT_EQ(ERROR_REQ_NOT_ACCEP, rejected.hr);
    EXPECT_EQ("0A 20 C2 75", rejected.strResponse);
    EXPECT_EQ(devices::Transport::NoCassette, camcorder.Settings().transport);
}

TEST(AvcCamcorder, RemembersThePCInformation) {
    devices::Camcorder camcorder{devices::CamcorderSettings{}};
    EXPECT_EQ(S_OK, Send(camcorder, "00 20 00 00 00 3D 00 01 32 85 01 02 FF FE FF FF FF FF FF FF FF FF FF FF").hr);
    EXPECT_TRUE(camcorder.Report().bPcInfoSeen);
    EXPECT_EQ(1, camcorder.Report().nPcInfoSends);
    const uint8_t expected[5] = {0x85, 0x01, 0x02, 0xFF, 0xFE};
    EXPECT_EQ(0, memcmp(expected, camcorder.Report().abyPcInfo, 5));
}

} // namespace
