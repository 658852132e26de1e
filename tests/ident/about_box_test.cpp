#include "ident/about_box.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>
#include <algorithm>

#include "ident/program_picture.h"
#include "support/render.h"

namespace {

// Label texts of the box from top to bottom, left to right.
QStringList label_texts_in_reading_order(const TAboutBox& box) {
    auto labels = box.findChildren<QLabel*>();
    const auto pos = [&](const QLabel* l) { return l->mapTo(&box, QPoint(0, 0)); };
    std::sort(labels.begin(), labels.end(), [&](const QLabel* a, const QLabel* b) {
        const QPoint pa = pos(a), pb = pos(b);
        if (std::abs(pa.y() - pb.y()) > 3) return pa.y() < pb.y();
        return pa.x() < pb.x();
    });
    QStringList out;
    for (const QLabel* l : labels)
        if (!l->text().isEmpty()) out << l->text();
    return out;
}

TEST(AboutBox, VersionLabelReadsTheFileVersion) {
    TAboutBox box;
    ASSERT_NE(box.Label5, nullptr);
    EXPECT_EQ(box.Label5->text(), QStringLiteral("Verze 1.0.0.0"));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Label5")), box.Label5);
    EXPECT_TRUE(box.Label5->font().bold());
}

TEST(AboutBox, PanelShowsProductMakerVersionAndRequirementsInOrder) {
    TAboutBox box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("O aplikaci"));
    EXPECT_EQ(box.size(), QSize(324, 289));

    const QStringList texts = label_texts_in_reading_order(box);
    ASSERT_EQ(texts.size(), 13) << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(texts.mid(0, 2),
              (QStringList{QStringLiteral("Název produktu"), QStringLiteral("TX-20")}));
    EXPECT_EQ(texts.at(2), QStringLiteral("Název firmy"));
    EXPECT_FALSE(texts.at(3).isEmpty());
    EXPECT_EQ(texts.mid(4, 8),
              (QStringList{QStringLiteral("Verze"), QStringLiteral("Verze 1.0.0.0"),
                           QStringLiteral("Minimální systémové požadavky"),
                           QStringLiteral("-CPU Pentium 100 MHz nebo vyšší"),
                           QStringLiteral("-Microsoft Windows 95/98/ME/2000"),
                           QStringLiteral("-3 MB volného místa na pevném disku"),
                           QStringLiteral("-Systémová paměť 32 MB (64 MB doporučeno)"),
                           QStringLiteral("-VGA nebo vyšší rozlišení")}));
    // Every line fits the fixed box.
    for (const QLabel* l : box.findChildren<QLabel*>())
        if (!l->text().isEmpty()) {
            EXPECT_GE(l->width(), l->sizeHint().width()) << l->text().toStdString();
        }

    EXPECT_TRUE(render_window(&box, QStringLiteral("about_box")));
}

TEST(AboutBox, OkAndEnterCloseWithTheOkResult) {
    TAboutBox box;
    ASSERT_NE(box.OKButton, nullptr);
    EXPECT_EQ(box.OKButton->text(), QStringLiteral("OK"));
    EXPECT_TRUE(box.OKButton->isDefault());

    QTimer::singleShot(0, &box, [&] { QTest::mouseClick(box.OKButton, Qt::LeftButton); });
    EXPECT_EQ(box.exec(), QDialog::Accepted);

    QTimer::singleShot(0, &box, [&] { QTest::keyClick(&box, Qt::Key_Return); });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(box.Label5->text(), QStringLiteral("Verze 1.0.0.0"));  // same on every showing
}

// The desktop icons are painted from the same shapes as the About box's picture.
TEST(AboutBox, DesktopIconsAgreeWithThePicture) {
    auto* box = new TAboutBox;
    const QImage shown = box->findChild<QLabel*>(QStringLiteral("ProgramIcon"))
                             ->pixmap()
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    delete box;
    EXPECT_EQ(program_picture_image(64), shown);
    EXPECT_EQ(program_picture_image(256).size(), QSize(256, 256));

    QXmlStreamReader svg(program_picture_svg());
    int shapes = 0;
    while (!svg.atEnd()) {
        if (svg.readNext() == QXmlStreamReader::StartElement &&
            (svg.name() == QLatin1String("rect") || svg.name() == QLatin1String("line") ||
             svg.name() == QLatin1String("path")))
            ++shapes;
    }
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_EQ(shapes, 1 + 8 + 1 + 1);  // plate, grid, set point, trend
}

}  // namespace
