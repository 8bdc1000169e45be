#include <gtest/gtest.h>

#include <QTest>
#include <cstdio>
#include <filesystem>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include "TestSupport.h"
#include "window/JpegImage.h"
#include "window/TitleForm.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A baseline JPEG, red rising to the right and blue downwards, written with libjpeg.
Bytes MakeJpeg(int w, int h) {
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &mem, &size);
    info.image_width = JDIMENSION(w), info.image_height = JDIMENSION(h);
    info.input_components = 3, info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    Bytes row(size_t(w) * 3);
    for (JSAMPROW r = row.data(); info.next_scanline < info.image_height; jpeg_write_scanlines(&info, &r, 1))
        for (int x = 0; x < w; ++x)
            row[x * 3] = x * 255 / (w - 1), row[x * 3 + 1] = 40, row[x * 3 + 2] = info.next_scanline * 255 / (h - 1);
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(mem, mem + size);
    free(mem);
    return bytes;
}

TEST(DecodeJpeg, DecodesPixelsAndTheBuildsSplash) {
    auto bytes = MakeJpeg(64, 48);
    QImage img = tx::DecodeJpeg(bytes.data(), bytes.size());
    ASSERT_EQ(img.size(), QSize(64, 48));
    // Lossy: the ramps' corners within a few levels.
    EXPECT_LT(img.pixelColor(1, 1).red() + img.pixelColor(1, 1).blue(), 24);
    EXPECT_GT(img.pixelColor(62, 46).red() + img.pixelColor(62, 46).blue(), 486);
    EXPECT_NEAR(img.pixelColor(32, 24).green(), 40, 8);
    if (!std::filesystem::exists(TROVAMIX_BINARY_DIR "/Title.JPG")) return;
    EXPECT_EQ(tx::LoadJpegFile(TROVAMIX_BINARY_DIR "/Title.JPG").size(), QSize(299, 390));
}

// Every damaged input gives a null image, quietly.
TEST(DecodeJpeg, DamagedInputGivesNoImage) {
    auto good = MakeJpeg(64, 48);
    std::vector<Bytes> bad{Bytes(500, 0x5A), good};
    for (size_t i = 2; i < 40; ++i) bad[1][i] ^= 0xFF;  // header trashed
    for (size_t cut : {size_t(1), size_t(20), good.size() / 2, good.size() - 2})
        bad.emplace_back(good.data(), good.data() + cut);
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_TRUE(tx::DecodeJpeg(bad[i].data(), bad[i].size()).isNull()) << i;
    EXPECT_TRUE(tx::LoadJpegFile("/nonexistent/Title.JPG").isNull());
}

TEST(TitleForm, NoSplashWithoutAGoodImage) {
    txtest::TempDir dir;
    EXPECT_EQ(tx::TTitleForm::ShowSplash(dir.path().string() + "/"), nullptr);
    auto good = MakeJpeg(299, 390);
    txtest::WriteFileBytes(dir / "Title.JPG", Bytes(good.begin(), good.begin() + long(good.size() / 3)));
    EXPECT_EQ(tx::TTitleForm::ShowSplash(dir.path().string() + "/"), nullptr);
    EXPECT_EQ(tx::TTitleForm::Current(), nullptr);
}

// Closed by a key, or by the main window's first activation; closing frees it.
TEST(TitleForm, ShowsTheImageUntilAKeyOrTheFirstActivation) {
    txtest::TempDir dir;
    txtest::WriteFileBytes(dir / "Title.JPG", MakeJpeg(299, 390));
    for (bool byKey : {true, false}) {
        QPointer<tx::TTitleForm> form = tx::TTitleForm::ShowSplash(dir.path().string() + "/");
        ASSERT_TRUE(form);
        EXPECT_EQ(tx::TTitleForm::Current(), form.data());
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->size(), QSize(299, 390));
        EXPECT_TRUE(form->windowFlags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint));
        QImage shot = form->grab().toImage();
        EXPECT_GT(shot.pixelColor(296, 387).red(), 240);
        if (byKey) {
            shot.save(QStringLiteral(TROVAMIX_BINARY_DIR "/shot-title.png"));
            QTest::keyClick(form, Qt::Key_Space);
        } else {
            tx::TTitleForm::CloseOnActivation();
        }
        EXPECT_EQ(tx::TTitleForm::Current(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(form.isNull());
    }
    tx::TTitleForm::CloseOnActivation();  // nothing left to close: no harm
}

}  // namespace
