#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include "app/Rychlostzaznamu.h"
#include "support/render.h"
#include "support/scripted_prompts.h"

namespace {

const QString kRangeSample = QStringLiteral("Je nutné zadávat pouze čísla v rozsahu 1 až 1000\n");
const QString kRangeSoubor = QStringLiteral("Je nutné zadávat pouze čísla v rozsahu 1 až 60\n");
const QString kNotDigits = QStringLiteral("Je nutné zadávat pouze číslice");

class RecordingRateDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        prompts.allow_ok_messages();
        dlg.fill(QStringLiteral("1"), QStringLiteral("15"), 1);
        show();
    }
    void show() {
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    void TearDown() override { dlg.hide(); }

    template <typename T>
    T* child(const char* name) {
        T* w = dlg.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* ed_sample() { return child<QLineEdit>("ed_sample"); }
    QLineEdit* ed_soubor() { return child<QLineEdit>("ed_soubor"); }
    QTabWidget* pages() { return child<QTabWidget>("PageControl1"); }
    void click_ok() { QTest::mouseClick(child<QPushButton>("tl_ok"), Qt::LeftButton); }
    void type_into(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    QStringList message_texts() const {
        QStringList out;
        for (const auto& r : prompts.messages()) out << r.text;
        return out;
    }

    ScriptedPrompts prompts;
    Tform_zaznam dlg{prompts};
};

TEST_F(RecordingRateDialogTest, ShowsItsPagesAndButtonsAsDesigned) {
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Rychlost záznamu"));
    EXPECT_EQ(dlg.height(), 236);
    EXPECT_GE(dlg.width(), 240);
    ASSERT_EQ(pages()->count(), 2);
    EXPECT_EQ(pages()->tabText(0), QStringLiteral("četnost záznamu"));
    EXPECT_EQ(pages()->tabText(1), QStringLiteral("ukládání do souboru"));
    EXPECT_EQ(child<QRadioButton>("rb_sec")->text(), QStringLiteral("sekundy"));
    EXPECT_EQ(child<QRadioButton>("rb_min")->text(), QStringLiteral("minuty"));
    EXPECT_EQ(child<QPushButton>("tl_ok")->text(), QStringLiteral("OK"));
    EXPECT_EQ(child<QPushButton>("tl_cancel")->text(), QStringLiteral("Storno"));
    EXPECT_EQ(pages()->currentIndex(), 0);
    EXPECT_EQ(ed_soubor()->parentWidget(), pages()->widget(1));
    EXPECT_EQ(ed_sample()->parentWidget(), pages()->widget(0));
}

TEST_F(RecordingRateDialogTest, RangesAreCheckedOnOk) {
    struct Case {
        const char* sample;
        const char* soubor;
        bool accepted;
        QStringList messages;
        int page;
        const char* focus;
    };
    const Case cases[] = {
        {"1", "1", true, {}, 0, nullptr},
        {"1000", "60", true, {}, 0, nullptr},
        {"0", "15", false, {kRangeSample}, 0, "ed_sample"},
        {"1001", "15", false, {kRangeSample}, 0, "ed_sample"},
        {"5", "0", false, {kRangeSoubor}, 1, "ed_soubor"},
        {"5", "61", false, {kRangeSoubor}, 1, "ed_soubor"},
        {"-1", "61", false, {kRangeSample, kRangeSoubor}, 0, "ed_sample"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sample) + " / " + c.soubor);
        prompts.clear();
        dlg.setResult(0);
        pages()->setCurrentIndex(0);
        type_into(ed_sample(), QString::fromLatin1(c.sample));
        type_into(ed_soubor(), QString::fromLatin1(c.soubor));
        click_ok();
        EXPECT_EQ(message_texts(), c.messages);
        EXPECT_EQ(dlg.result() == QDialog::Accepted, c.accepted);
        if (c.accepted) {
            show();
            continue;
        }
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(pages()->currentIndex(), c.page);
        EXPECT_EQ(QApplication::focusWidget(), child<QLineEdit>(c.focus));
    }
}

TEST_F(RecordingRateDialogTest, MessagesHaveTheirCaptionsIconsAndOwners) {
    type_into(ed_sample(), QStringLiteral("x"));
    type_into(ed_soubor(), QStringLiteral("99"));
    click_ok();
    const auto m = prompts.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].caption, QStringLiteral("CHYBA"));
    EXPECT_EQ(m[0].icon, PromptIcon::Warning);
    EXPECT_EQ(m[0].owner, PromptOwner::Application);
    EXPECT_EQ(m[1].caption, QStringLiteral("EDIT"));
    EXPECT_EQ(m[1].icon, PromptIcon::Error);
    EXPECT_EQ(m[1].owner, PromptOwner::None);
}

TEST_F(RecordingRateDialogTest, LetterInSampleBecomesOneAndShowsTheFirstPage) {
    type_into(ed_sample(), QStringLiteral("1a"));
    pages()->setCurrentIndex(1);
    click_ok();
    EXPECT_EQ(message_texts(), QStringList{kNotDigits});
    EXPECT_EQ(ed_sample()->text(), QStringLiteral("1"));
    EXPECT_EQ(pages()->currentIndex(), 0);
    EXPECT_EQ(QApplication::focusWidget(), ed_sample());
    EXPECT_TRUE(dlg.isVisible());

    prompts.clear();
    click_ok();  // "1" now passes
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(RecordingRateDialogTest, TextsAreHandedBackAsTypedWithTheUnit) {
    type_into(ed_sample(), QStringLiteral("05"));
    type_into(ed_soubor(), QStringLiteral("+007"));
    child<QRadioButton>("rb_min")->click();
    click_ok();
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.sample_text(), QStringLiteral("05"));
    EXPECT_EQ(dlg.sample_value(), 5);
    EXPECT_EQ(dlg.soubor_text(), QStringLiteral("+007"));
    EXPECT_EQ(dlg.soubor_value(), 7);
    EXPECT_EQ(dlg.multiplier(), 60);

    show();
    child<QRadioButton>("rb_sec")->click();
    click_ok();
    EXPECT_EQ(dlg.multiplier(), 1);
}

TEST_F(RecordingRateDialogTest, NonIntegersAreRefused) {
    for (const char* text : {"", " 5", "5 ", "1.5", "0x10", "-", "+", "99999999999", "٣"}) {
        SCOPED_TRACE(text);
        prompts.clear();
        ed_soubor()->setText(QString::fromUtf8(text));
        click_ok();
        EXPECT_EQ(message_texts(), QStringList{kNotDigits});
        EXPECT_EQ(ed_soubor()->text(), QStringLiteral("1"));
    }
}

TEST_F(RecordingRateDialogTest, EnterValidatesTheFieldAndMovesToOk) {
    ed_sample()->setFocus();
    type_into(ed_sample(), QStringLiteral("1001"));
    QTest::keyClick(ed_sample(), Qt::Key_Return);
    EXPECT_EQ(message_texts(), QStringList{kRangeSample});
    EXPECT_EQ(QApplication::focusWidget(), ed_sample());
    EXPECT_TRUE(dlg.isVisible());

    prompts.clear();
    type_into(ed_sample(), QStringLiteral("1000"));
    QTest::keyClick(ed_sample(), Qt::Key_Enter);
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("tl_ok"));
    EXPECT_TRUE(dlg.isVisible());

    pages()->setCurrentIndex(1);
    ed_soubor()->setFocus();
    type_into(ed_soubor(), QStringLiteral("61"));
    QTest::keyClick(ed_soubor(), Qt::Key_Return);
    EXPECT_EQ(message_texts(), QStringList{kRangeSoubor});
    EXPECT_EQ(QApplication::focusWidget(), ed_soubor());

    prompts.clear();
    type_into(ed_soubor(), QStringLiteral("60"));
    QTest::keyClick(ed_soubor(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>("tl_ok"));
    QTest::keyClick(child<QPushButton>("tl_ok"), Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(RecordingRateDialogTest, StornoAndEscapeCancel) {
    QTest::mouseClick(child<QPushButton>("tl_cancel"), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());

    show();
    dlg.setResult(QDialog::Accepted);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_TRUE(prompts.empty());
}

TEST_F(RecordingRateDialogTest, FillSetsTextsAndUnitButKeepsThePage) {
    pages()->setCurrentIndex(1);
    dlg.fill(QStringLiteral("07"), QStringLiteral("30"), 60);
    EXPECT_EQ(ed_sample()->text(), QStringLiteral("07"));
    EXPECT_EQ(ed_soubor()->text(), QStringLiteral("30"));
    EXPECT_TRUE(child<QRadioButton>("rb_min")->isChecked());
    EXPECT_EQ(pages()->currentIndex(), 1);
    dlg.fill(QStringLiteral("1"), QStringLiteral("1"), 1);
    EXPECT_TRUE(child<QRadioButton>("rb_sec")->isChecked());
    dlg.fill(QStringLiteral("1"), QStringLiteral("1"), 5);
    EXPECT_TRUE(child<QRadioButton>("rb_min")->isChecked());
}

TEST_F(RecordingRateDialogTest, RendersBothPages) {
    for (int page : {0, 1}) {
        pages()->setCurrentIndex(page);
        EXPECT_TRUE(render_window(&dlg, QStringLiteral("tform_zaznam_%1").arg(page)));
    }
}

}  // namespace
