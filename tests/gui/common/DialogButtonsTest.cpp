#include "gui/common/DialogButtons.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace quorvel::test {

TEST(DialogButtons, CaptionsGoToTheButtonsInStandardOrder)
{
    using B = DialogButton;

    struct Case
    {
        const char *name;
        QList<DialogButton> set;
        QStringList captions;
        QStringList shown;
    };

    const std::vector<Case> cases = {
        {"Yes/No with two captions", {B::Yes, B::No}, {u"Yes"_s, u"No"_s}, {u"Yes"_s, u"No"_s}},
        {"set order does not matter", {B::No, B::Yes}, {u"Evet"_s, u"Hay\u0131r"_s}, {u"Evet"_s, u"Hay\u0131r"_s}},
        {"one caption: No keeps its standard caption", {B::Yes, B::No}, {u"Sure"_s}, {u"Sure"_s, u"No"_s}},
        {"three captions: the third ignored", {B::Yes, B::No}, {u"A"_s, u"B"_s, u"C"_s}, {u"A"_s, u"B"_s}},
        {"no captions", {B::Ok, B::Cancel}, {}, {u"OK"_s, u"Cancel"_s}},
        {"empty caption is still a caption", {B::Ok}, {u""_s}, {u""_s}},
        {"every button",
         {B::Close, B::Help, B::YesToAll, B::NoToAll, B::All, B::Ignore, B::Retry, B::Abort, B::Cancel, B::Ok, B::No,
          B::Yes},
         {u"1"_s},
         {u"1"_s, u"No"_s, u"OK"_s, u"Cancel"_s, u"Abort"_s, u"Retry"_s, u"Ignore"_s, u"All"_s, u"No to All"_s,
          u"Yes to All"_s, u"Help"_s, u"Close"_s}},
        {"duplicates count once", {B::Yes, B::Yes}, {u"A"_s, u"B"_s}, {u"A"_s}},
        {"empty set", {}, {u"A"_s}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(captionAssignment(c.set, c.captions), c.shown);
    }
}

TEST(DialogButtons, ResultCodesAndDefaultButton)
{
    using B = DialogButton;
    EXPECT_EQ(dialogResultCode(B::Ok), 1);
    EXPECT_EQ(dialogResultCode(B::Cancel), 2);
    EXPECT_EQ(dialogResultCode(B::Yes), 6);
    EXPECT_EQ(dialogResultCode(B::No), 7);
    EXPECT_EQ(dialogResultCode(B::YesToAll), 14);

    struct Case
    {
        const char *name;
        QList<DialogButton> set;
        std::optional<DialogButton> button;
    };

    const std::vector<Case> cases = {
        {"OK first", {B::Yes, B::Ok, B::Retry}, B::Ok},
        {"then Yes", {B::No, B::Yes, B::Retry}, B::Yes},
        {"then Retry", {B::Abort, B::Retry, B::Ignore}, B::Retry},
        {"else none", {B::Cancel, B::Close}, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(defaultButtonOf(c.set), c.button);
    }
}

} // namespace quorvel::test
