#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "service/formdata.h"

namespace {

struct EscapeCase {
    const char* name;
    std::string value;
    std::string form;
    std::string query;
};

class FormValueEscaping : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(FormValueEscaping, EscapesOnlyCharactersThatChangeTheMeaning) {
    const EscapeCase& c = GetParam();
    EXPECT_EQ(escapeFormValue(c.value), c.form);
    EXPECT_EQ(escapeQueryValue(c.value), c.query);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormValueEscaping,
    ::testing::Values(
        EscapeCase{"Plain", "abc123", "abc123", "abc123"}, EscapeCase{"Empty", "", "", ""},
        EscapeCase{"PairSeparators", "a&b=c", "a%26b%3Dc", "a%26b%3Dc"},
        EscapeCase{"PercentAndPlus", "50%+1", "50%25%2B1", "50%25%2B1"},
        EscapeCase{"BlankAndHashOnlyInQuery", "a b#c", "a b#c", "a%20b%23c"},
        EscapeCase{"Utf8Unchanged", "张老师", "张老师", "张老师"},
        EscapeCase{"JsonUnchanged", R"({"k":[1,"v"]})", R"({"k":[1,"v"]})", R"({"k":[1,"v"]})"},
        EscapeCase{"AlreadyEscapedIsEscapedAgain", "%41", "%2541", "%2541"},
        EscapeCase{"OtherPunctuationUnchanged", "/?:;@,!*'()~", "/?:;@,!*'()~", "/?:;@,!*'()~"}),
    [](const ::testing::TestParamInfo<EscapeCase>& info) { return std::string(info.param.name); });

TEST(FormDataTest, JoinsPairsInInsertionOrder) {
    FormData form;
    form.add("uniqueNo", "abc").add("status", 3).add("deviceKey", "k=1&x").add("temp", "");
    EXPECT_EQ(form.formText(), "uniqueNo=abc&status=3&deviceKey=k%3D1%26x&temp=");
}

TEST(FormDataTest, QueryTextStartsWithQuestionMarkAndEscapesBlanks) {
    FormData query;
    query.add("appkey", "a b").add("ts", 17);
    EXPECT_EQ(query.queryText(), "?appkey=a%20b&ts=17");
    EXPECT_EQ(query.formText(), "appkey=a b&ts=17");
}

TEST(FormDataTest, EmptyFormGivesEmptyTexts) {
    FormData form;
    EXPECT_TRUE(form.empty());
    EXPECT_EQ(form.formText(), "");
    EXPECT_EQ(form.queryText(), "");
}

TEST(FormDataTest, LoneEmptyParameter) {
    FormData form;
    form.add("temp", "");
    EXPECT_EQ(form.formText(), "temp=");
    EXPECT_EQ(form.queryText(), "?temp=");
}

TEST(FormDataTest, IntegersOfEveryWidthAndBooleans) {
    FormData form;
    form.add("neg", -5)
        .add("u32", std::uint32_t{4294967295u})
        .add("i64", std::int64_t{-9000000000})
        .add("on", true)
        .add("off", false);
    EXPECT_EQ(form.formText(), "neg=-5&u32=4294967295&i64=-9000000000&on=1&off=0");
}

TEST(FormDataTest, KeysAreTakenAsGiven) {
    FormData form;
    form.add("a b", "1").add("", "x");
    EXPECT_EQ(form.formText(), "a b=1&=x");
}

}  // namespace
