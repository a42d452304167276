// Old movies carry their author's code page without saying which: the
// strings themselves choose between GBK, Big5 and Shift-JIS.

#include "support/BuiltinsRows.h"
#include "support/ScriptSandbox.h"

#include "swf/Playback.h"
#include "swf/io/TextCodec.h"
#include "swf/movie/Movie.h"

#include <QStringEncoder>

#include <gtest/gtest.h>

using namespace swf;

namespace {

QByteArray encode(const char* codec, const QString& text)
{
    QStringEncoder encoder(codec);
    EXPECT_TRUE(encoder.isValid()) << codec;
    QByteArray bytes = encoder(text);
    EXPECT_FALSE(encoder.hasError()) << codec;
    return bytes;
}

CodePage choose(const QByteArray& bytes)
{
    return chooseCodePage(bytes.constData(), bytes.size());
}

const QString simplified = QStringLiteral("今天天气很好，我们一起去公园散步吧。欢迎来到我的游戏世界！");
const QString traditional = QStringLiteral("歡迎來到我的動畫世界，請按下開始按鈕。今天我們一起去看電影吧！");
const QString japanese = QStringLiteral("こんにちは、今日はいい天気ですね。ゲームを始めましょう！");

} // namespace

TEST(CodePage, RealSentencesChooseTheirOwnCodePage)
{
    const QByteArray gbk = encode("GBK", simplified);
    const QByteArray big5 = encode("Big5", traditional);
    const QByteArray sjis = encode("Shift_JIS", japanese);
    EXPECT_EQ(choose(gbk), CodePage::Gbk);
    EXPECT_EQ(choose(big5), CodePage::Big5);
    EXPECT_EQ(choose(sjis), CodePage::ShiftJis);
    // The same with ASCII around and between them, as in a script.
    EXPECT_EQ(choose("score = 100; msg = \"" + big5 + "\"; level2"), CodePage::Big5);
    EXPECT_EQ(choose("Press START " + sjis + " (v1.2)"), CodePage::ShiftJis);
    EXPECT_EQ(choose("name=" + gbk + "&hp=30"), CodePage::Gbk);

    // Each reads back as written in its own code page.
    EXPECT_EQ(decodeLegacy(big5.constData(), big5.size(), CodePage::Big5), traditional);
    EXPECT_EQ(decodeLegacy(sjis.constData(), sjis.size(), CodePage::ShiftJis), japanese);
    EXPECT_EQ(decodeLegacy(gbk.constData(), gbk.size(), CodePage::Gbk), simplified);
}

TEST(CodePage, ScoresCountCommonCharactersOnly)
{
    // Big5 bytes all read as GB18030 characters, yet few are common in GBK.
    const QByteArray big5 = encode("Big5", traditional);
    const CodePageScore asBig5 = scoreCodePage(CodePage::Big5, big5.constData(), big5.size());
    const CodePageScore asGbk = scoreCodePage(CodePage::Gbk, big5.constData(), big5.size());
    EXPECT_EQ(asBig5.common, traditional.size());
    EXPECT_EQ(asBig5.invalid, 0);
    EXPECT_LT(asGbk.common, asBig5.common * 3 / 4);

    // GBK is kept when nothing reads clearly better: no text at all, a tie,
    // and a stray pair or two in otherwise plain ASCII.
    EXPECT_EQ(choose(QByteArray()), CodePage::Gbk);
    EXPECT_EQ(choose("plain ascii only"), CodePage::Gbk);
    EXPECT_EQ(choose("ab\xA4\x40 cd"), CodePage::Gbk); // one Big5 hanzi, not enough
    // Half-width katakana bytes stand alone in Shift-JIS: never a lead cut short.
    EXPECT_EQ(decodeLegacy("\xB1\xB2", 2, CodePage::ShiftJis), QStringLiteral("ｱｲ"));
    // A lead byte cut off by the end still shows, as U+FFFD.
    EXPECT_EQ(decodeLegacy("a\xA4", 2, CodePage::Big5), QStringLiteral("a\uFFFD"));
}

TEST(CodePage, OldMovieStringsReadInTheDetectedCodePage)
{
    using namespace swf::avm1;
    using namespace swf::avm1::test;
    const QByteArray big5 = encode("Big5", traditional);
    const QByteArray sjis = encode("Shift_JIS", japanese);
    for (const auto& [bytes, text, page] : { std::tuple { big5, traditional, CodePage::Big5 },
             std::tuple { sjis, japanese, CodePage::ShiftJis } }) {
        S s;
        s.value(bytes.constData()).trace();
        const QByteArray movieBytes = movieWithActions(s.program(), 5);
        auto movie = Movie::load(movieBytes);
        ASSERT_TRUE(movie.ok());
        EXPECT_EQ(movie.value()->codePage(), page);

        QStringList lines;
        PlaybackOptions options;
        options.trace = [&lines](const QString& line) { lines << line; };
        auto playback = Playback::fromBytes(movieBytes, options);
        ASSERT_TRUE(playback.ok());
        EXPECT_EQ(lines, QStringList { text });
    }
    // Version 6 and later are UTF-8, whatever the bytes look like.
    S utf8;
    utf8.value(big5.constData()).trace();
    auto modern = Movie::load(movieWithActions(utf8.program(), 6));
    ASSERT_TRUE(modern.ok());
    EXPECT_EQ(modern.value()->codePage(), CodePage::Gbk);
}
