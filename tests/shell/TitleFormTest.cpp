#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "TestSupport.h"
#include "shell/JpegImage.h"
#include "shell/TitleForm.h"

namespace {

// A baseline JPEG of a left-to-right red ramp over a blue ramp, written with libjpeg.
std::vector<unsigned char> MakeJpeg(int w, int h) {
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &mem, &size);
    info.image_width = JDIMENSION(w);
    info.image_height = JDIMENSION(h);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(size_t(w) * 3);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < w; ++x) {
            row[size_t(x) * 3] = (unsigned char)(x * 255 / (w - 1));
            row[size_t(x) * 3 + 1] = 40;
            row[size_t(x) * 3 + 2] = (unsigned char)(info.next_scanline * 255 / JDIMENSION(h - 1));
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<unsigned char> bytes(mem, mem + size);
    free(mem);
    return bytes;
}

TEST(DecodeJpeg, DecodesPixels) {
    auto bytes = MakeJpeg(299, 390);
    QImage img = tx::DecodeJpeg(bytes.data(), bytes.size());
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(299, 390));
    // JPEG is lossy: the ramps' corners within a few levels.
    QColor topLeft = img.pixelColor(2, 2), bottomRight = img.pixelColor(296, 387);
    EXPECT_LT(topLeft.red(), 12);
    EXPECT_LT(topLeft.blue(), 12);
    EXPECT_GT(bottomRight.red(), 243);
    EXPECT_GT(bottomRight.blue(), 243);
    EXPECT_NEAR(img.pixelColor(150, 195).green(), 40, 6);
}

// Every damaged file gives a null image, quietly.
TEST(DecodeJpeg, DamagedInputGivesNoImage) {
    auto good = MakeJpeg(64, 48);
    std::vector<std::vector<unsigned char>> bad;
    for (size_t cut : {size_t(1), size_t(2), size_t(20), good.size() / 2, good.size() - 2})
        bad.emplace_back(good.begin(), good.begin() + long(cut));
    bad.push_back(std::vector<unsigned char>(500, 0x5A));  // garbage
    auto flipped = good;
    for (size_t i = 2; i < 40; ++i) flipped[i] ^= 0xFF;  // header trashed
    bad.push_back(flipped);
    auto huge = good;  // a frame header claiming 65535 x 65535
    for (size_t i = 0; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 6] = huge[i + 7] = huge[i + 8] = 0xFF;
            break;
        }
    bad.push_back(huge);
    for (size_t i = 0; i < bad.size(); ++i)
        EXPECT_TRUE(tx::DecodeJpeg(bad[i].data(), bad[i].size()).isNull()) << "case " << i;
    EXPECT_TRUE(tx::DecodeJpeg(nullptr, 0).isNull());
    EXPECT_TRUE(tx::LoadJpegFile("/nonexistent/Title.JPG").isNull());
}

// The splash the build draws is what the decoder reads.
TEST(DecodeJpeg, ReadsTheBuildsSplash) {
    const std::string path = TROVAMIX_BINARY_DIR "/Title.JPG";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no Title.JPG in the build folder";
    QImage img = tx::LoadJpegFile(path);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(tx::TTitleForm::ClientWidth, tx::TTitleForm::ClientHeight));
}

class TitleFormTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir.path().string() + "/"; }
    void WriteTitle(const std::vector<unsigned char>& bytes) { txtest::WriteFileBytes(dir / "Title.JPG", bytes); }
    txtest::TempDir dir;
};

TEST_F(TitleFormTest, MissingOrBrokenImageShowsNothing) {
    EXPECT_EQ(tx::TTitleForm::ShowSplash(Folder()), nullptr);
    auto good = MakeJpeg(299, 390);
    WriteTitle(std::vector<unsigned char>(good.begin(), good.begin() + long(good.size() / 3)));
    EXPECT_EQ(tx::TTitleForm::ShowSplash(Folder()), nullptr);
    EXPECT_EQ(tx::TTitleForm::Current(), nullptr);
}

TEST_F(TitleFormTest, ShowsImageAndClosesOnKey) {
    WriteTitle(MakeJpeg(299, 390));
    QPointer<tx::TTitleForm> form = tx::TTitleForm::ShowSplash(Folder());
    ASSERT_TRUE(form);
    EXPECT_EQ(tx::TTitleForm::Current(), form.data());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->size(), QSize(299, 390));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    QImage shot = form->grab().toImage();
    shot.save(QStringLiteral(TROVAMIX_BINARY_DIR "/shot-title.png"));
    EXPECT_GT(shot.pixelColor(296, 387).red(), 240);
    QTest::keyClick(form, Qt::Key_Space);
    EXPECT_EQ(tx::TTitleForm::Current(), nullptr);
    EXPECT_FALSE(form->isVisible());
    QTest::qWait(0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull()) << "closing must free the splash";
}

TEST_F(TitleFormTest, FirstActivationClosesIt) {
    WriteTitle(MakeJpeg(299, 390));
    QPointer<tx::TTitleForm> form = tx::TTitleForm::ShowSplash(Folder());
    ASSERT_TRUE(form);
    tx::TTitleForm::CloseOnActivation();
    EXPECT_EQ(tx::TTitleForm::Current(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    tx::TTitleForm::CloseOnActivation();  // nothing left to close: no harm
}

}  // namespace
