// The About box and the drawn application icon.
#include "panel/about_box.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "resources/icon.h"

namespace tallivo {
namespace {

TEST(AboutBox, ShowsNameAndClosesWithOk) {
    AboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Tallivo"));
    EXPECT_TRUE(box.isModal());
    bool hasText = false;
    bool hasIcon = false;
    for (const QLabel* label : box.findChildren<QLabel*>()) {
        hasText = hasText || label->text() == QStringLiteral("Tallivo Calculator Version 0.1");
        hasIcon = hasIcon || !label->pixmap().isNull();
    }
    EXPECT_TRUE(hasText);
    EXPECT_TRUE(hasIcon);
    ASSERT_NE(box.okButton(), nullptr);
    EXPECT_TRUE(box.okButton()->isDefault());
    EXPECT_TRUE(box.rect().contains(box.okButton()->geometry()));

    box.show();
    box.okButton()->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST(TallivoIcon, OffersSmallAndLargeSizes) {
    const QIcon icon = tallivoIcon();
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(256, 256)));
    // Drawn, not blank: the centre of the body is opaque.
    const QImage image = icon.pixmap(64, 64).toImage();
    EXPECT_EQ(qAlpha(image.pixel(32, 45)), 255);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);
}

}  // namespace
}  // namespace tallivo
