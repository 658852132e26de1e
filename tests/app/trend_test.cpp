#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest/QTest>

#include "main_window_fixture.h"

namespace {

using TrendTest = MainWindowTest;

TEST_F(TrendTest, SteadyStreamSettlesAtPocetPlusOnePoints) {
    Tkrt01& w = create();
    for (int i = 1; i <= 300; ++i) w.AddTrendPoint(i);
    EXPECT_EQ(w.chart().point_count(), 201);
    EXPECT_EQ(w.chart().x_at(0), 100);
    EXPECT_EQ(w.chart().x_at(200), 300);
    EXPECT_EQ(w.point_no(), 300);
}

TEST_F(TrendTest, LegendListsTheNewestValues) {
    Tkrt01& w = create();
    const int rows = w.chart().legend_visible_rows();
    for (int i = 0; i < rows + 5; ++i) w.AddTrendPoint(i);
    // Set from the count before the last addition.
    EXPECT_EQ(w.chart().legend_first_value(), 4);
}

TEST_F(TrendTest, LoweringPocetDoesNotShrinkTheSeries) {
    store_value("GRAF", "POCET", QStringLiteral("1000"));
    Tkrt01& w = create();
    for (int i = 0; i < 1000; ++i) w.AddTrendPoint(i);
    prompts.allow_ok_messages();
    QTimer::singleShot(0, &w, [this] {
        auto* ed = rotace->findChild<QLineEdit*>(QStringLiteral("ed_poc_mer"));
        ed->setText(QStringLiteral("10"));
        QTest::mouseClick(rotace->findChild<QPushButton*>(QStringLiteral("tl_ok")), Qt::LeftButton);
    });
    action("mn_barva")->trigger();
    EXPECT_EQ(w.chart_settings().POCET, 10);
    for (int i = 0; i < 50; ++i) w.AddTrendPoint(i);
    EXPECT_EQ(w.chart().point_count(), 1000);
}

TEST_F(TrendTest, PenColourChangeKeepsTheOlderPointsInTheirColour) {
    Tkrt01& w = create();
    w.AddTrendPoint(1);
    prompts.answer_color(0x00FF0000);  // blue
    QTest::mouseClick(child<QPushButton>("tl_barva_pera"), Qt::LeftButton);
    w.AddTrendPoint(2);
    EXPECT_EQ(w.chart().color_at(0), color_from_ref(255));
    EXPECT_EQ(w.chart().color_at(1), color_from_ref(0x00FF0000));
    EXPECT_EQ(color("pa_barva_pera"), color_from_ref(0x00FF0000));
    EXPECT_EQ(prompts.last().kind, ScriptedPrompts::Kind::Color);
    EXPECT_EQ(prompts.last().text, QStringLiteral("255"));  // starts from the current pen
    w.close();
    EXPECT_EQ(stored("GRAF", "PERO").toString(), QString::number(0x00FF0000));
}

TEST_F(TrendTest, CancelledPenColourChangesNothing) {
    Tkrt01& w = create();
    prompts.answer_color(std::nullopt);
    w.tl_barva_peraClick();
    EXPECT_EQ(w.chart_settings().PERO, 255);
    EXPECT_EQ(color("pa_barva_pera"), color_from_ref(255));
}

// ---- "GRAF 3D" -------------------------------------------------------------------------

class Graf3DTest : public MainWindowTest {
  protected:
    template <class T>
    T* control(const char* name) {
        T* c = rotace->findChild<T*>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QLineEdit* edit() { return control<QLineEdit>("ed_poc_mer"); }
    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }
    // Runs the dialog from the menu; `inside` acts while it is shown.
    void run_dialog(const std::function<void()>& inside) {
        QTimer::singleShot(0, window.get(), [this, inside] {
            inside();
            if (rotace->isVisible()) rotace->reject();  // a test that forgot to close it
        });
        action("mn_barva")->trigger();
    }
};

TEST_F(Graf3DTest, DialogIsFilledFromTheSettingsRecord) {
    store_value("GRAF", "G3D", QStringLiteral("0"));
    store_value("GRAF", "R3D", QStringLiteral("60"));
    store_value("GRAF", "POCET", QStringLiteral("450"));
    store_value("GRAF", "MRIZ", QStringLiteral("65535"));
    create();
    run_dialog([this] {
        EXPECT_EQ(rotace->windowTitle(), QStringLiteral("GRAF 3D"));
        EXPECT_FALSE(control<QCheckBox>("check_3D")->isChecked());
        EXPECT_EQ(control<QScrollBar>("bar_3D")->value(), 60);
        EXPECT_EQ(edit()->text(), QStringLiteral("450"));
        EXPECT_EQ(panel_color(control<QLabel>("pa_barva_mriz")), color_from_ref(65535));
        EXPECT_EQ(panel_color(control<QLabel>("pa_barva_okraj")), face());
        click("tl_cancel");
    });
}

struct CountCase {
    const char* text;
    bool accepted;
    const char* caption;  // of the message, empty for none
};

class Graf3DCount : public Graf3DTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(Graf3DCount, OkValidatesTheCount) {
    const CountCase& c = GetParam();
    create();
    if (*c.caption) prompts.answer_message(PromptAnswer::Ok);
    bool still_open = false;
    run_dialog([&] {
        edit()->setText(QLatin1String(c.text));
        click("tl_ok");
        still_open = rotace->isVisible();
        if (still_open) click("tl_cancel");
    });
    EXPECT_EQ(still_open, !c.accepted);
    EXPECT_EQ(window->chart_settings().POCET,
              c.accepted ? QString::fromLatin1(c.text).toInt() : 200);
    if (*c.caption) {
        ASSERT_EQ(prompts.messages().size(), 1u);
        EXPECT_EQ(prompts.last().caption, QLatin1String(c.caption));
    } else {
        EXPECT_TRUE(prompts.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Graf3DCount,
    ::testing::Values(CountCase{"10", true, ""}, CountCase{"100000", true, ""},
                      CountCase{"9", false, "EDIT"}, CountCase{"100001", false, "EDIT"},
                      CountCase{"-50", false, "EDIT"}, CountCase{"abc", false, "CHYBA"},
                      CountCase{"", false, "CHYBA"}, CountCase{"12.5", false, "CHYBA"}));

TEST_F(Graf3DTest, RangeMessageIsAnErrorWithoutOwner) {
    create();
    prompts.answer_message(PromptAnswer::Ok);
    run_dialog([this] {
        edit()->setText(QStringLiteral("9"));
        click("tl_ok");
        click("tl_cancel");
    });
    const auto& m = prompts.last();
    EXPECT_EQ(m.text, QStringLiteral("Je nutné zadávat pouze čísla v rozsahu 10 až 100000"));
    EXPECT_EQ(m.icon, PromptIcon::Error);
    EXPECT_EQ(m.owner, PromptOwner::None);
}

TEST_F(Graf3DTest, LettersThenOkTwiceGiveTheNumberMessageThenTheRangeMessage) {
    create();
    prompts.answer_message(PromptAnswer::Ok);
    prompts.answer_message(PromptAnswer::Ok);
    run_dialog([this] {
        edit()->setText(QStringLiteral("dvesta"));
        click("tl_ok");
        EXPECT_EQ(edit()->text(), QStringLiteral("0"));
        EXPECT_EQ(rotace->focusWidget(), edit());
        click("tl_ok");
        EXPECT_TRUE(rotace->isVisible());
        click("tl_cancel");
    });
    const auto m = prompts.messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].text, QStringLiteral("Chyba při zadání číselného textu"));
    EXPECT_EQ(m[0].caption, QStringLiteral("CHYBA"));
    EXPECT_EQ(m[0].icon, PromptIcon::Warning);
    EXPECT_EQ(m[0].owner, PromptOwner::Application);
    EXPECT_EQ(m[1].caption, QStringLiteral("EDIT"));
}

TEST_F(Graf3DTest, EnterValidatesAndMovesTheFocusToOkAndASecondEnterAccepts) {
    create();
    prompts.answer_message(PromptAnswer::Ok);
    run_dialog([this] {
        edit()->setFocus();
        edit()->setText(QStringLiteral("5"));
        QTest::keyClick(edit(), Qt::Key_Return);
        EXPECT_EQ(prompts.last().caption, QStringLiteral("EDIT"));
        EXPECT_EQ(rotace->focusWidget(), edit());
        EXPECT_TRUE(rotace->isVisible());
        edit()->setText(QStringLiteral("50"));
        QTest::keyClick(edit(), Qt::Key_Enter);
        EXPECT_EQ(rotace->focusWidget(), control<QPushButton>("tl_ok"));
        EXPECT_TRUE(rotace->isVisible());  // the first Enter does not close the dialog
        QTest::keyClick(rotace->focusWidget(), Qt::Key_Return);
        EXPECT_FALSE(rotace->isVisible());
    });
    EXPECT_EQ(rotace->result(), QDialog::Accepted);
    EXPECT_EQ(window->chart_settings().POCET, 50);
}

TEST_F(Graf3DTest, ControlsActOnTheChartAtOnceAndOkKeepsThem) {
    Tkrt01& w = create();
    prompts.answer_color(0x0000FF00);
    prompts.answer_color(0x00808080);
    run_dialog([&] {
        control<QCheckBox>("check_3D")->click();
        EXPECT_FALSE(w.chart().view_3d());
        control<QScrollBar>("bar_3D")->setValue(80);
        EXPECT_EQ(w.chart().percent_3d(), 80);
        click("tl_barva_mriz");
        EXPECT_EQ(w.chart().back_color(), color_from_ref(0x0000FF00));
        EXPECT_EQ(panel_color(control<QLabel>("pa_barva_mriz")), color_from_ref(0x0000FF00));
        click("tl_barva_okraj");
        EXPECT_EQ(w.chart().panel_color(), color_from_ref(0x00808080));
        edit()->setText(QStringLiteral("700"));
        click("tl_ok");
    });
    const ChartSettings& s = w.chart_settings();
    EXPECT_FALSE(s.G3D);
    EXPECT_EQ(s.R3D, 80);
    EXPECT_EQ(s.MRIZ, 0x0000FF00);
    EXPECT_EQ(s.POZADI, 0x00808080);
    EXPECT_EQ(s.POCET, 700);
    w.close();
    EXPECT_EQ(stored("GRAF", "G3D").toString(), QStringLiteral("0"));
    EXPECT_EQ(stored("GRAF", "R3D").toString(), QStringLiteral("80"));
}

TEST_F(Graf3DTest, OkWithUnchangedSystemColoursKeepsThemSystemColours) {
    Tkrt01& w = create();
    run_dialog([this] { click("tl_ok"); });
    EXPECT_EQ(w.chart_settings().MRIZ, static_cast<std::int32_t>(0x8000000F));
    EXPECT_EQ(w.chart_settings().POZADI, static_cast<std::int32_t>(0x8000000F));
}

class Graf3DCancel : public Graf3DTest, public ::testing::WithParamInterface<int> {};

TEST_P(Graf3DCancel, StornoEscAndCloseBoxPutTheChartBack) {
    Tkrt01& w = create();
    prompts.answer_color(0x0000FF00);
    prompts.answer_color(0x00808080);
    const int how = GetParam();
    run_dialog([&] {
        control<QCheckBox>("check_3D")->click();
        control<QScrollBar>("bar_3D")->setValue(90);
        click("tl_barva_mriz");
        click("tl_barva_okraj");
        edit()->setText(QStringLiteral("5000"));
        if (how == 0) click("tl_cancel");
        if (how == 1) QTest::keyClick(rotace, Qt::Key_Escape);
        if (how == 2) rotace->close();
    });
    EXPECT_TRUE(w.chart().view_3d());
    EXPECT_EQ(w.chart().percent_3d(), 35);
    EXPECT_EQ(w.chart().back_color(), face());
    EXPECT_EQ(w.chart().panel_color(), face());
    const ChartSettings& s = w.chart_settings();
    EXPECT_TRUE(s.G3D);
    EXPECT_EQ(s.R3D, 35);
    EXPECT_EQ(s.POCET, 200);
    EXPECT_EQ(s.MRIZ, static_cast<std::int32_t>(0x8000000F));

    // The next showing is refilled from the record.
    run_dialog([this] {
        EXPECT_EQ(edit()->text(), QStringLiteral("200"));
        EXPECT_EQ(control<QScrollBar>("bar_3D")->value(), 35);
        click("tl_cancel");
    });
}

INSTANTIATE_TEST_SUITE_P(Ways, Graf3DCancel, ::testing::Values(0, 1, 2));

TEST_F(Graf3DTest, CancelledColourPickerChangesNothing) {
    Tkrt01& w = create();
    prompts.answer_color(std::nullopt);
    run_dialog([&] {
        click("tl_barva_okraj");
        EXPECT_EQ(w.chart().panel_color(), face());
        click("tl_ok");
    });
    EXPECT_EQ(w.chart_settings().POZADI, static_cast<std::int32_t>(0x8000000F));
}

TEST_F(Graf3DTest, ControlsCarryTheirHints) {
    create();
    EXPECT_EQ(edit()->toolTip(),
              QStringLiteral("Počet zobrazených měření v grafu (10 až 100.0000)"));
    EXPECT_EQ(control<QCheckBox>("check_3D")->toolTip(), QStringLiteral("Nastaví zobrazení 3D"));
    EXPECT_EQ(control<QScrollBar>("bar_3D")->minimum(), 1);
    EXPECT_EQ(control<QScrollBar>("bar_3D")->maximum(), 100);
    EXPECT_EQ(control<QPushButton>("tl_barva_mriz")->text(), QStringLiteral("Mrižka"));
    EXPECT_EQ(control<QPushButton>("tl_cancel")->text(), QStringLiteral("Storno"));
}

}  // namespace
