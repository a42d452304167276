// Sound records cut from real movies (the shared corpus's parse cases): each
// case holds a tag's bytes and the values an independent reader found in it.

#include "swf/audio/SoundDecoder.h"
#include "swf/format/Sound.h"
#include "swf/format/TagCodes.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace swf;

namespace {

QString corpusDir()
{
    const QByteArray env = qgetenv("VANTREL_CORPUS_DIR");
    return env.isEmpty() ? QStringLiteral(VANTREL_DEFAULT_CORPUS) : QString::fromLocal8Bit(env);
}

struct Case {
    QString name;
    int code = 0;
    QByteArray body;
    QJsonObject value;
};

// Every parse case whose expected value is one of the sound records.
std::vector<Case> soundCases()
{
    std::vector<Case> cases;
    QDir parse(corpusDir() + QStringLiteral("/parse"));
    for (const QString& name : parse.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile v(parse.filePath(name + "/value.json")), in(parse.filePath(name + "/input.bytes"));
        if (!v.open(QIODevice::ReadOnly) || !in.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject value = QJsonDocument::fromJson(v.readAll()).object();
        const QString type = value.value("type").toString();
        if (type != "DefineSound" && type != "StartSound" && type != "DefineButtonSound")
            continue;
        const QByteArray tag = in.readAll();
        if (tag.size() < 2)
            continue;
        Case c;
        c.name = name;
        const int codeLen = std::uint8_t(tag[0]) | (std::uint8_t(tag[1]) << 8);
        c.code = codeLen >> 6;
        qsizetype len = codeLen & 0x3f, at = 2;
        if (len == 0x3f && tag.size() >= 6) {
            len = qsizetype(std::uint8_t(tag[2]) | (std::uint8_t(tag[3]) << 8) | (std::uint8_t(tag[4]) << 16));
            at = 6;
        }
        c.body = tag.mid(at, len);
        c.value = value;
        cases.push_back(c);
    }
    return cases;
}

} // namespace

TEST(CorpusSounds, RecordsMatchTheIndependentReader)
{
    const auto cases = soundCases();
    if (cases.empty())
        GTEST_SKIP() << "no sound cases under " << corpusDir().toStdString();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QString type = c.value.value("type").toString();
        if (type == "DefineSound") {
            ASSERT_EQ(c.code, 14);
            auto r = readDefineSound(c.body);
            ASSERT_TRUE(r.ok());
            const auto& s = r.value();
            EXPECT_EQ(s.soundId, c.value.value("id").toInt());
            EXPECT_EQ(s.sampleCount, std::uint32_t(c.value.value("sample_count").toInteger()));
            EXPECT_EQ(s.format.stereo, c.value.value("sound_type").toString() == "Stereo");
            EXPECT_EQ(s.format.sixteenBit ? 16 : 8, c.value.value("sound_size").toInt());
            // The other reader rounds 5512.5/11025/22050/44100 down to thousands.
            EXPECT_EQ(int(s.format.rate) / 1000, c.value.value("sound_rate").toInt() / 1000);
            EXPECT_EQ(s.data.toHex(), c.value.value("data").toString().toLatin1());
            if (c.value.value("format").toString() == "Mp3") {
                EXPECT_EQ(s.format.codec, SoundCodec::Mp3);
                // A real MP3 sound decodes to its declared length at its rate.
                auto decoded = decodeDefinedSound(s, 44100 * 60);
                ASSERT_TRUE(decoded.ok());
                EXPECT_EQ(decoded.value().rate, s.format.rate);
                EXPECT_EQ(decoded.value().channels, s.format.channels());
                EXPECT_GT(decoded.value().frames(), std::int64_t(s.sampleCount) * 9 / 10);
                EXPECT_LE(decoded.value().frames(), std::int64_t(s.sampleCount));
            }
        } else if (type == "StartSound") {
            ASSERT_EQ(c.code, 15);
            auto r = readStartSound(c.body, TagStartSound);
            ASSERT_TRUE(r.ok());
            const QJsonObject info = c.value.value("sound_info").toObject();
            EXPECT_EQ(r.value().soundId, c.value.value("sound_id").toInt());
            EXPECT_EQ(r.value().info.syncStop, info.value("sync_stop").toBool());
            EXPECT_EQ(r.value().info.noMultiple, info.value("sync_no_multiple").toBool());
            EXPECT_EQ(r.value().info.loopCount, info.value("loop_count").toInt(1));
            const QJsonArray env = info.value("envelope_records").toArray();
            ASSERT_EQ(r.value().info.envelope.size(), std::size_t(env.size()));
            for (int i = 0; i < env.size(); ++i) {
                const QJsonObject p = env[i].toObject();
                EXPECT_EQ(r.value().info.envelope[std::size_t(i)].pos44, std::uint32_t(p.value("pos44").toInteger()));
                EXPECT_EQ(r.value().info.envelope[std::size_t(i)].leftLevel, p.value("left_level").toInt());
                EXPECT_EQ(r.value().info.envelope[std::size_t(i)].rightLevel, p.value("right_level").toInt());
            }
        } else {
            ASSERT_EQ(c.code, 17);
            auto r = readDefineButtonSound(c.body);
            ASSERT_TRUE(r.ok());
            EXPECT_EQ(r.value().buttonId, c.value.value("button_id").toInt());
        }
    }
}
