// The "success" of every backend reply follows one rule: only the boolean true accepts, any other
// value present refuses, absent or null is no answer. Each row is tried on every consumer: the
// business replies as the sink reads them, the heartbeat, and the push channel's registration and
// data replies.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "service/fenwixstudentserver.h"
#include "service/heartbeat.h"
#include "service/mainwindowevents.h"
#include "service/replyenvelope.h"
#include "service/zorbel.h"
#include "support/backendfixture.h"

namespace {

struct SuccessCase {
    const char* name;
    const char* member;  // the "success" member as it appears in the reply, or "" for none
    ReplySuccess expected;
};

std::ostream& operator<<(std::ostream& out, const SuccessCase& c) {
    return out << c.name;
}

std::string reply(const SuccessCase& c, const std::string& payload) {
    std::string text = "{";
    if (*c.member != '\0') {
        text += std::string("\"success\":") + c.member + ",";
    }
    return text + "\"payload\":" + payload + ",\"message\":\"why\"}";
}

class EveryReply : public ::testing::TestWithParam<SuccessCase> {
protected:
    EveryReply() : backend_("http://127.0.0.1:9") {}

    fenwixtest::BackendConfig backend_;
    fenwixtest::EventRecorder events_;
};

TEST_P(EveryReply, BusinessReplyAsTheSinkReadsIt) {
    BusinessReply parsed;
    ASSERT_TRUE(readBusinessReply(reply(GetParam(), "{\"valid\":true}"), parsed));
    EXPECT_EQ(parsed.success, GetParam().expected);
    EXPECT_EQ(parsed.payload["valid"], true);
    EXPECT_EQ(parsed.message, "why");
}

TEST_P(EveryReply, Heartbeat) {
    EXPECT_EQ(CHeartbeat::isAlive(true, reply(GetParam(), "{}")),
              GetParam().expected == ReplySuccess::Accepted);
}

TEST_P(EveryReply, PushRegistration) {
    const bool accepted = CZorbel::acceptRegistration(reply(GetParam(), "{\"token\":\"T1\"}"));
    EXPECT_EQ(accepted, GetParam().expected == ReplySuccess::Accepted);
    EXPECT_EQ(CZorbel::token(), accepted ? "T1" : "");
}

TEST_P(EveryReply, PushData) {
    ASSERT_TRUE(CZorbel::acceptRegistration("{\"success\":true,\"payload\":{\"token\":\"T2\"}}"));
    CZorbel::onDataReply(true, reply(GetParam(), "{\"type\":\"vLogout\"}"), REQUEST_PUSH_DATA);
    bool delivered = false;
    for (const fenwixtest::SeenEvent& e : events_.events()) {
        delivered = delivered || e.msg == WM_PUSH_MESSAGE;
    }
    const ReplySuccess expected = GetParam().expected;
    EXPECT_EQ(delivered, expected == ReplySuccess::Accepted);
    // A refusal ends the registration; no answer keeps it for the next poll.
    EXPECT_EQ(CZorbel::token(), expected == ReplySuccess::Refused ? "" : "T2");
}

INSTANTIATE_TEST_SUITE_P(Success, EveryReply,
                         ::testing::Values(SuccessCase{"true", "true", ReplySuccess::Accepted},
                                           SuccessCase{"false", "false", ReplySuccess::Refused},
                                           SuccessCase{"one", "1", ReplySuccess::Refused},
                                           SuccessCase{"zero", "0", ReplySuccess::Refused},
                                           SuccessCase{"real", "2.5", ReplySuccess::Refused},
                                           SuccessCase{"text", "\"true\"", ReplySuccess::Refused},
                                           SuccessCase{"object", "{}", ReplySuccess::Refused},
                                           SuccessCase{"null", "null", ReplySuccess::Missing},
                                           SuccessCase{"absent", "", ReplySuccess::Missing}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BusinessReplyText, UnparsableAndNonObjectReplies) {
    BusinessReply parsed;
    EXPECT_FALSE(readBusinessReply("not json", parsed));
    EXPECT_FALSE(readBusinessReply("", parsed));
    ASSERT_TRUE(readBusinessReply("[true]", parsed));
    EXPECT_EQ(parsed.success, ReplySuccess::Missing);
    ASSERT_TRUE(readBusinessReply("{\"success\":false,\"message\":42}", parsed));
    EXPECT_EQ(parsed.success, ReplySuccess::Refused);
    EXPECT_EQ(parsed.message, "");
}

}  // namespace
