#pragma once

#include "Terminal.h"
#include "support/ModemSim.h"

#include <gtest/gtest.h>
#include <memory>

// Known PDUs, written out by hand so that no codec of ours is involved.
namespace vectors {
// SMS-SUBMIT, centre 865, destination 8612, UCS-2 "A", validity two days: TPDU 12 octets.
inline const std::string kSubmit = "039168F51100049168210008A8020041";
// The same with the module's default centre ("00"): TPDU 12 octets.
inline const std::string kSubmitDefaultCentre = "001100049168210008A8020041";
// SMS-SUBMIT without a validity period, 7-bit: TPDU 11 octets.
inline const std::string kSubmitNoValidity = "000100049168210000020000";
// SMS-DELIVER "hellohello" (GSM 03.40 example): TPDU 28 octets.
inline const std::string kDeliver7bit = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37";
// SMS-DELIVER, UCS-2 "你好" from +8613513254678: TPDU 24 octets.
inline const std::string kDeliverUcs2 = "0891683108200105F0040D91683115234576F8000821503041709023044F60597D";
} // namespace vectors

inline const char kScenario[] = R"(# storages, phone book and identity for the tests
imei 351234567890125
capacity SM 10
capacity ME 20
capacity PB 60
message SM 1 0 07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37
message ME 2 1 0891683108200105F0040D91683115234576F8000821503041709023044F60597D
contact 1 +8613800138000 张三
contact 2 10086
contact-raw 3 13912345678 NOT HEX
)";

// A simulator with kScenario and a terminal on its port.
class SimTest : public ::testing::Test {
protected:
    explicit SimTest(unsigned baud = 0) : sim_(ModemSim::Options{kScenario, baud}) {}

    void SetUp() override
    {
        ASSERT_TRUE(sim_.started()) << sim_.errorOutput();
        term_ = std::make_unique<Terminal>(sim_.port());
        ASSERT_TRUE(term_->isOpen());
    }

    // Writes a PDU and Ctrl-Z after the prompt of AT+CMGS=length; the reply.
    std::string submit(int length, const std::string &pdu)
    {
        const std::string prompt = term_->command("AT+CMGS=" + std::to_string(length));
        if (prompt.find("\r\n> ") == std::string::npos)
            return prompt;
        term_->write(pdu + "\x1A");
        return term_->readReply();
    }

    ModemSim sim_;
    std::unique_ptr<Terminal> term_;
};
