#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <string>

#include "conference/conferencestatusjson.h"

namespace {

Json::Value parse(const std::string& text) {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value out;
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &out, &errors)) << errors;
    return out;
}

ConferenceStatusRateBean rate(const std::string& uri, const std::string& name, int base) {
    ConferenceStatusRateBean r;
    r.uri = uri;
    r.name = name;
    r.width = base + 1;
    r.height = base + 2;
    r.videoKBitsPerSecRecv = base + 3;
    r.audioKBitsPerSecRecv = base + 4;
    r.videoFrameRate = base + 5;
    r.videoDecodedFrameRate = base + 6;
    r.videoDisplayedFrameRate = base + 7;
    return r;
}

ConferenceStatusBean filledStatus() {
    ConferenceStatusBean s;
    s.cpu = 11;
    s.videoWidth = 1280;
    s.videoHeight = 720;
    s.videoCapture = 30;
    s.videoSend = 25;
    s.availSendBwMax = 1001;
    s.actualSendBwMax = 1002;
    s.actualSendBwVideo = 1003;
    s.actualSendBwAudio = 1004;
    s.actualSendBwApplication = 1005;
    s.availRecvBwMax = 2001;
    s.actualRecvBwMax = 2002;
    s.actualRecvBwVideo = 2003;
    s.actualRecvBwAudio = 2004;
    s.actualRecvBwApplication = 2005;
    return s;
}

ConferenceStatusContext filledContext() {
    ConferenceStatusContext c;
    c.d3dWidth = 1920;
    c.d3dHeight = 1080;
    c.roomKey = "RK-42";
    c.portal = "http://portal.example:8080";
    c.route = "route-7";
    c.deviceKey = "DSK_123";
    c.participantId = "p-99";
    c.isGuest = true;
    c.fixTargetUri = "teacher@portal";
    return c;
}

TEST(ConferenceStatusJson, EveryKeyCarriesItsValueWithItsType) {
    const std::string text = buildConferenceStatusJson(filledStatus(), filledContext());
    const Json::Value doc = parse(text);
    const struct {
        const char* key;
        int value;
    } numbers[] = {
        {"cpu", 11},
        {"videoWidth", 1280},
        {"videoHeight", 720},
        {"videoCapture", 30},
        {"videoSend", 25},
        {"availSendBwMax", 1001},
        {"actualSendBwMax", 1002},
        {"actualSendBwVideo", 1003},
        {"actualSendBwAudio", 1004},
        {"actualSendBwApplication", 1005},
        {"availRecvBwMax", 2001},
        {"actualRecvBwMax", 2002},
        {"actualRecvBwVideo", 2003},
        {"actualRecvBwAudio", 2004},
        {"actualRecvBwApplication", 2005},
        {"d3dwidth", 1920},
        {"d3dheight", 1080},
        {"isGuest", 1},
    };
    for (const auto& n : numbers) {
        ASSERT_TRUE(doc[n.key].isInt()) << n.key;
        EXPECT_EQ(doc[n.key].asInt(), n.value) << n.key;
    }
    const struct {
        const char* key;
        const char* value;
    } texts[] = {
        {"desktype", "student"}, {"roomkey", "RK-42"}, {"p", "http://portal.example:8080"},
        {"r", "route-7"},        {"d", "DSK_123"},     {"participantID", "p-99"},
    };
    for (const auto& t : texts) {
        ASSERT_TRUE(doc[t.key].isString()) << t.key;
        EXPECT_EQ(doc[t.key].asString(), t.value) << t.key;
    }
    ASSERT_TRUE(doc["participantRateArray"].isArray());
    // Nothing beyond the keys above and the rate array.
    EXPECT_EQ(doc.size(), std::size(numbers) + std::size(texts) + 1);
}

TEST(ConferenceStatusJson, CompactSortedSingleLineEndingInLineFeed) {
    const std::string text = buildConferenceStatusJson(ConferenceStatusBean{}, {});
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\n'), text.size() - 1);
    EXPECT_EQ(text.find(' '), std::string::npos);
    // Keys come out in sorted order: "actualRecvBwApplication" first, "videoWidth" last.
    EXPECT_EQ(text.rfind("{\"actualRecvBwApplication\":0,", 0), 0u) << text;
    EXPECT_NE(text.find("\"videoWidth\":0}\n"), std::string::npos) << text;
}

TEST(ConferenceStatusJson, IsGuestIsTheNumberZeroOrOneNotABoolean) {
    for (const bool guest : {false, true}) {
        ConferenceStatusContext c;
        c.isGuest = guest;
        const std::string text = buildConferenceStatusJson(ConferenceStatusBean{}, c);
        EXPECT_NE(text.find(std::string("\"isGuest\":") + (guest ? "1" : "0")), std::string::npos)
            << text;
    }
}

TEST(ConferenceStatusJson, RateArrayHoldsOnlyTheFixTargetBuiltFromItsEntry) {
    ConferenceStatusBean s;
    s.rateList = {rate("other@portal", "other", 100), rate("teacher@portal", "teacher", 200)};
    const Json::Value doc = parse(buildConferenceStatusJson(s, filledContext()));
    const Json::Value& rates = doc["participantRateArray"];
    ASSERT_EQ(rates.size(), 1u);
    const Json::Value& r = rates[0];
    EXPECT_EQ(r["name"].asString(), "teacher");
    EXPECT_EQ(r["width"].asInt(), 201);
    EXPECT_EQ(r["height"].asInt(), 202);
    EXPECT_EQ(r["videoKBitsPerSecRecv"].asInt(), 203);
    EXPECT_EQ(r["audioKBitsPerSecRecv"].asInt(), 204);
    EXPECT_EQ(r["videoFrameRate"].asInt(), 205);
    EXPECT_EQ(r["videoDecodedFrameRate"].asInt(), 206);
    EXPECT_EQ(r["videoDisplayedFrameRate"].asInt(), 207);
    EXPECT_EQ(r.size(), 8u) << "the uri is not part of an entry";
}

TEST(ConferenceStatusJson, EveryEntryOfTheTargetIsKeptInListOrder) {
    ConferenceStatusBean s;
    s.rateList = {rate("teacher@portal", "first", 0), rate("x", "x", 0),
                  rate("teacher@portal", "second", 0)};
    const Json::Value rates =
        parse(buildConferenceStatusJson(s, filledContext()))["participantRateArray"];
    ASSERT_EQ(rates.size(), 2u);
    EXPECT_EQ(rates[0]["name"].asString(), "first");
    EXPECT_EQ(rates[1]["name"].asString(), "second");
}

struct EmptyRateCase {
    const char* name;
    std::string target;
    bool withEntries;
};

class EmptyRateArray : public ::testing::TestWithParam<EmptyRateCase> {};

TEST_P(EmptyRateArray, IsAnEmptyArrayNeverNull) {
    ConferenceStatusBean s;
    if (GetParam().withEntries) {
        // An entry without an address must not pass for "no target".
        s.rateList = {rate("student@portal", "a", 0), rate("", "no address", 0)};
    }
    ConferenceStatusContext c;
    c.fixTargetUri = GetParam().target;
    const std::string text = buildConferenceStatusJson(s, c);
    EXPECT_NE(text.find("\"participantRateArray\":[]"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Cases, EmptyRateArray,
                         ::testing::Values(EmptyRateCase{"NoParticipants", "teacher@portal", false},
                                           EmptyRateCase{"TargetNotListed", "teacher@portal", true},
                                           EmptyRateCase{"NoTarget", "", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConferenceStatusJson, NonAsciiNameIsWrittenAsDeliveredUtf8) {
    ConferenceStatusBean s;
    s.rateList = {rate("teacher@portal", "张老师", 0)};
    const std::string text = buildConferenceStatusJson(s, filledContext());
    EXPECT_NE(text.find("\"name\":\"张老师\""), std::string::npos) << text;
    EXPECT_EQ(text.find("\\u"), std::string::npos) << text;
}

TEST(ConferenceStatusJson, TextsNeedingEscapesStayValidJson) {
    ConferenceStatusContext c = filledContext();
    c.roomKey = "a\"b\\c\nd";
    const Json::Value doc = parse(buildConferenceStatusJson(ConferenceStatusBean{}, c));
    EXPECT_EQ(doc["roomkey"].asString(), "a\"b\\c\nd");
}

}  // namespace
