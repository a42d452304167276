// The pictures of an FLV as a NetStream shows them, decoded where they are
// due or ahead on a worker thread: both give ffmpeg's pictures, the worker
// keeps only a few pictures ahead, and a picture that is late is dropped.

#include "support/AudioTestSupport.h"
#include "VideoFixtures.h"

#include "swf/video/FlvPlayback.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using namespace videotest;

namespace {

class FlvPlaybackTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!audiotest::haveFfmpeg())
            GTEST_SKIP() << "ffmpeg is not installed";
        ASSERT_TRUE(m_dir.isValid());
        // 16 pictures at 4 fps, a key frame every 4: packet i is due at 250 i ms.
        m_path = m_dir.filePath("clip.flv");
        ASSERT_TRUE(audiotest::runFfmpeg({ "-f", "lavfi", "-i", "testsrc=size=160x120:rate=4", "-t", "4", "-c:v", "flv", "-g", "4", m_path }));
        auto file = swf::readFlv(audiotest::readFile(m_path));
        ASSERT_TRUE(file.ok());
        m_file = file.value();
        ASSERT_EQ(m_file.video.size(), 16u);
        m_reference = ffmpegFrames(m_path, 160, 120);
        ASSERT_EQ(m_reference.size(), 16u);
    }

    // Asks for the picture at `ms` until one with a new serial comes (at most 10 s).
    static bool waitForPicture(swf::FlvPlayback& playback, qint64 ms, quint64 serialBefore)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            playback.showAt(ms);
            if (playback.pictureSerial() != serialBefore)
                return true;
            QThread::msleep(5);
        }
        return false;
    }

    QTemporaryDir m_dir;
    QString m_path;
    swf::FlvFile m_file;
    std::vector<QImage> m_reference;
};

TEST_F(FlvPlaybackTest, DecodingWhereDueGivesFfmpegsPictures)
{
    swf::FlvPlayback playback(m_file, false);
    for (int i : { 0, 1, 2, 6, 13, 3 }) { // on, then forward past key frames, then back
        playback.showAt(250 * i + 100);
        EXPECT_GE(psnr(playback.picture(), m_reference[std::size_t(i)]), 30) << "picture " << i;
    }
    // Going back to 3 decoded from the key frame at 0: four packets.
    const int before = playback.packetsDecoded();
    playback.showAt(250 * 2);
    EXPECT_EQ(playback.packetsDecoded(), before + 3) << "back to 2: from the key frame at 0 again";
    // A seek lands on the key frame at or before the time asked for.
    EXPECT_EQ(playback.seekPoint(250 * 6 + 10), 1000);
    EXPECT_EQ(playback.seekPoint(100), 0);
}

TEST_F(FlvPlaybackTest, DecodingAheadIsBoundedAndDropsLatePictures)
{
    swf::FlvPlayback playback(m_file, true);
    ASSERT_TRUE(waitForPicture(playback, 0, 0));
    EXPECT_GE(psnr(playback.picture(), m_reference[0]), 30);
    // Left alone, the worker fills its few pictures ahead and waits there.
    QElapsedTimer clock;
    clock.start();
    while (playback.packetsDecoded() < 1 + swf::MaxPicturesAhead && clock.elapsed() < 10000)
        QThread::msleep(5);
    QThread::msleep(200);
    EXPECT_EQ(playback.packetsDecoded(), 1 + swf::MaxPicturesAhead);

    // Three pictures later: the two in between came too late and are dropped.
    const int droppedBefore = playback.picturesDropped();
    ASSERT_TRUE(waitForPicture(playback, 750 + 100, playback.pictureSerial()));
    EXPECT_GE(psnr(playback.picture(), m_reference[3]), 30);
    EXPECT_EQ(playback.picturesDropped(), droppedBefore + 2);

    // Far ahead, past two key frames: decoding starts afresh at the key frame
    // at 12, and the picture shown is the one due.
    ASSERT_TRUE(waitForPicture(playback, 250 * 14 + 100, playback.pictureSerial()));
    EXPECT_GE(psnr(playback.picture(), m_reference[14]), 30);
    // And back to the start.
    ASSERT_TRUE(waitForPicture(playback, 250 + 100, playback.pictureSerial()));
    EXPECT_GE(psnr(playback.picture(), m_reference[1]), 30);
}

TEST(FlvPlaybackFile, FileWithoutVideoShowsNothing)
{
    swf::FlvFile file;
    swf::FlvPlayback playback(file, true);
    playback.showAt(1000);
    EXPECT_TRUE(playback.picture().isNull());
    EXPECT_EQ(playback.packetsDecoded(), 0);
    EXPECT_EQ(playback.seekPoint(500), 0);
}

} // namespace
