#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QSet>
#include <QStatusBar>

#include "main_window_fixture.h"
#include "platform/window_placement.h"

namespace {

using SettingsTest = MainWindowTest;

// Calls back when the watched window receives its close event.
class CloseProbe : public QObject {
  public:
    CloseProbe(QObject* parent, std::function<void()> f) : QObject(parent), f_(std::move(f)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Close) f_();
        return false;
    }

  private:
    std::function<void()> f_;
};

TEST_F(SettingsTest, FirstStartUsesTheDefaultsAndWritesThirteenValuesAtClose) {
    Tkrt01& w = create();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("KELVRA 20"));
    EXPECT_EQ(QRect(w.x(), w.y(), w.width(), w.height()), QRect(192, 107, 718, 523));
    EXPECT_EQ(color("pa_barva_pera"), color_from_ref(255));
    EXPECT_EQ(w.chart().panel_color(), face());
    EXPECT_EQ(w.chart().back_color(), face());
    EXPECT_TRUE(w.chart().view_3d());
    EXPECT_EQ(w.chart().percent_3d(), 35);
    EXPECT_EQ(w.chart_settings().POCET, 200);
    EXPECT_EQ(text("pa_zaznam"), QStringLiteral("1"));
    EXPECT_EQ(text("pa_jednotky"), QStringLiteral("s"));
    EXPECT_EQ(text("pa_soubor"), QStringLiteral("15"));
    EXPECT_TRUE(w.timer().isActive());
    EXPECT_EQ(w.timer().interval(), 200);

    w.show();
    w.close();
    store.reset();
    QSettings ini(ini_path(), QSettings::IniFormat);
    EXPECT_EQ(ini.allKeys().size(), 13);
    const std::pair<const char*, const char*> expected[] = {
        {"DESKTOP/Left", "192"},        {"DESKTOP/Top", "107"}, {"DESKTOP/Width", "718"},
        {"DESKTOP/Height", "523"},      {"GRAF/PERO", "255"},   {"GRAF/MRIZ", "-2147483633"},
        {"GRAF/POZADI", "-2147483633"}, {"GRAF/G3D", "1"},      {"GRAF/R3D", "35"},
        {"GRAF/POCET", "200"},          {"ZAZNAM/LIST", "1"},   {"ZAZNAM/SOUBOR", "15"},
        {"ZAZNAM/JEDNOTKY", "1"}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(ini.value(QLatin1String(key)).toString(), QLatin1String(value)) << key;
}

TEST_F(SettingsTest, StoredValuesAreRestoredAndWrittenBackUnchanged) {
    store_value("DESKTOP", "Left", QStringLiteral("20"));
    store_value("DESKTOP", "Top", QStringLiteral("30"));
    store_value("DESKTOP", "Width", QStringLiteral("600"));
    store_value("DESKTOP", "Height", QStringLiteral("400"));
    store_value("GRAF", "PERO", QStringLiteral("65280"));
    store_value("GRAF", "MRIZ", QStringLiteral("16777215"));
    store_value("GRAF", "POZADI", QStringLiteral("12632256"));
    store_value("GRAF", "G3D", QStringLiteral("0"));
    store_value("GRAF", "R3D", QStringLiteral("80"));
    store_value("GRAF", "POCET", QStringLiteral("1000"));
    store_value("ZAZNAM", "LIST", QStringLiteral("5"));
    store_value("ZAZNAM", "SOUBOR", QStringLiteral("30"));
    store_value("ZAZNAM", "JEDNOTKY", QStringLiteral("60"));
    Tkrt01& w = create();
    EXPECT_EQ(QRect(w.x(), w.y(), w.width(), w.height()), QRect(20, 30, 600, 400));
    EXPECT_EQ(color("pa_barva_pera"), color_from_ref(65280));
    EXPECT_EQ(w.chart().back_color(), color_from_ref(16777215));
    EXPECT_EQ(w.chart().panel_color(), color_from_ref(12632256));
    EXPECT_FALSE(w.chart().view_3d());
    EXPECT_EQ(w.chart().percent_3d(), 80);
    EXPECT_EQ(text("pa_zaznam"), QStringLiteral("5"));
    EXPECT_EQ(text("pa_soubor"), QStringLiteral("30"));
    EXPECT_EQ(text("pa_jednotky"), QStringLiteral("min"));
    w.close();
    EXPECT_EQ(stored("GRAF", "PERO").toString(), QStringLiteral("65280"));
    EXPECT_EQ(stored("GRAF", "MRIZ").toString(), QStringLiteral("16777215"));
    EXPECT_EQ(stored("GRAF", "G3D").toString(), QStringLiteral("0"));
    EXPECT_EQ(stored("GRAF", "POCET").toString(), QStringLiteral("1000"));
    EXPECT_EQ(stored("ZAZNAM", "JEDNOTKY").toString(), QStringLiteral("60"));
    EXPECT_EQ(stored("DESKTOP", "Left").toString(), QStringLiteral("20"));
    EXPECT_EQ(stored("DESKTOP", "Height").toString(), QStringLiteral("400"));
}

TEST_F(SettingsTest, NonzeroG3DReadsAsOnAndIsWrittenAsOne) {
    store_value("GRAF", "G3D", QStringLiteral("5"));
    Tkrt01& w = create();
    EXPECT_TRUE(w.chart().view_3d());
    w.close();
    EXPECT_EQ(stored("GRAF", "G3D").toString(), QStringLiteral("1"));
}

TEST_F(SettingsTest, TextsThatAreNotNumbersReadAsDefaults) {
    store_value("GRAF", "POCET", QStringLiteral("abc"));
    store_value("GRAF", "R3D", QStringLiteral("3x"));
    store_value("ZAZNAM", "LIST", QStringLiteral(""));
    store_value("DESKTOP", "Left", QStringLiteral("left"));
    Tkrt01& w = create();
    EXPECT_EQ(w.chart_settings().POCET, 200);
    EXPECT_EQ(w.chart().percent_3d(), 35);
    EXPECT_EQ(w.list(), 1);
    EXPECT_EQ(w.x(), 192);
    w.close();
    EXPECT_EQ(stored("GRAF", "POCET").toString(), QStringLiteral("200"));
}

TEST_F(SettingsTest, UnitOtherThanOneShowsMinutesAndIsKeptAsItIs) {
    for (const char* unit : {"60", "0", "7", "-1"}) {
        store_value("ZAZNAM", "JEDNOTKY", QLatin1String(unit));
        Tkrt01& w = create();
        EXPECT_EQ(text("pa_jednotky"), QStringLiteral("min")) << unit;
        EXPECT_EQ(w.jednotky(), QString::fromLatin1(unit).toInt());
        w.close();
        EXPECT_EQ(stored("ZAZNAM", "JEDNOTKY").toString(), QLatin1String(unit));
    }
}

TEST_F(SettingsTest, ZeroAndOutOfRangeValuesDoNotBreakStartUp) {
    store_value("GRAF", "POCET", QStringLiteral("0"));
    store_value("GRAF", "R3D", QStringLiteral("-40"));
    store_value("GRAF", "PERO", QStringLiteral("2147483647"));
    store_value("GRAF", "MRIZ", QStringLiteral("-1"));
    store_value("ZAZNAM", "LIST", QStringLiteral("0"));
    store_value("ZAZNAM", "SOUBOR", QStringLiteral("-5"));
    store_value("DESKTOP", "Width", QStringLiteral("2147483647"));
    store_value("DESKTOP", "Height", QStringLiteral("-300"));
    Tkrt01& w = create();
    w.show();
    EXPECT_EQ(text("pa_zaznam"), QStringLiteral("0"));
    EXPECT_EQ(text("pa_soubor"), QStringLiteral("-5"));
    // A huge window would need a huge backing store: the size stays within the desktop.
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    EXPECT_LE(w.width(), desktop.width());
    EXPECT_GE(w.height(), 1);
    w.tl_precistClick();
    bus.wait_idle();
    w.tl_precistClick();
    bus.wait_idle();
    EXPECT_EQ(w.chart().point_count(), 1);  // POCET 0 settles at one point
    w.close();
    EXPECT_EQ(stored("GRAF", "POCET").toString(), QStringLiteral("0"));
    EXPECT_EQ(stored("GRAF", "PERO").toString(), QStringLiteral("2147483647"));
}

TEST_F(SettingsTest, PlacementEntirelyOffEveryScreenIsMovedOntoThePrimaryScreen) {
    store_value("DESKTOP", "Left", QStringLiteral("-5000"));
    store_value("DESKTOP", "Top", QStringLiteral("-4000"));
    Tkrt01& w = create();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(screen.intersects(QRect(w.pos(), w.size())));
    EXPECT_EQ(w.size(), QSize(718, 523));
}

// Stored placements against two screens: the large primary one at 0,0 and an 800 x 600
// one to its right (see the test main).
struct PlacementCase {
    const char* name;
    const char* left;
    const char* top;
    const char* width;
    const char* height;
    QRect expected;  // the window's own geometry when known exactly, else empty
};

class StoredPlacement : public MainWindowTest,
                        public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(StoredPlacement, EndsWithTheWholeWindowOnOneScreen) {
    const PlacementCase& c = GetParam();
    store_value("DESKTOP", "Left", QLatin1String(c.left));
    store_value("DESKTOP", "Top", QLatin1String(c.top));
    store_value("DESKTOP", "Width", QLatin1String(c.width));
    store_value("DESKTOP", "Height", QLatin1String(c.height));
    Tkrt01& w = create();
    const QRect frame = placement::frame_of(w);
    QScreen* s = placement::screen_of(frame);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->availableGeometry().contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_GE(w.width(), 1);
    EXPECT_GE(w.height(), 1);
    if (!c.expected.isEmpty()) {
        EXPECT_EQ(w.geometry(), c.expected);
    }
    w.show();
    w.close();
}

INSTANTIATE_TEST_SUITE_P(
    Placements, StoredPlacement,
    ::testing::Values(
        PlacementCase{"fits_large", "20", "30", "600", "400", QRect(20, 30, 600, 400)},
        PlacementCase{"fits_small", "1300", "30", "600", "400", QRect(1300, 30, 600, 400)},
        // The default placement on 800 x 600 is moved, not shrunk.
        PlacementCase{"default_on_small", "1472", "107", "718", "523", QRect()},
        PlacementCase{"partly_left_of_large", "-100", "50", "718", "523", QRect(0, 50, 718, 523)},
        PlacementCase{"larger_than_small", "1300", "10", "5000", "4000", QRect()},
        PlacementCase{"max_left_top", "2147483647", "2147483647", "718", "523", QRect()},
        PlacementCase{"min_left_width", "-2147483648", "107", "-2147483648", "523", QRect()},
        PlacementCase{"max_size", "192", "107", "2147483647", "2147483647", QRect()},
        PlacementCase{"min_top_height", "192", "-2147483648", "718", "-2147483648", QRect()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, DefaultPlacementOnASmallScreenKeepsItsSize) {
    store_value("DESKTOP", "Left", QStringLiteral("1472"));
    Tkrt01& w = create();
    EXPECT_EQ(w.size(), QSize(718, 523));
    EXPECT_GE(w.x(), 1280);
}

TEST_F(SettingsTest, ExitCommandClosesTheLineThenTheWindowAndWritesTheSettings) {
    Tkrt01& w = create();
    w.show();
    EXPECT_EQ(line.count(FakeLine::Op::Open), 1);  // opened by the port dialog at start-up
    bool line_closed_first = false;
    w.installEventFilter(
        new CloseProbe(&w, [&] { line_closed_first = line.count(FakeLine::Op::Close) == 1; }));
    prompts.answer_save(std::nullopt);  // no log file chosen: cancelling still leaves
    action("mn_exit")->trigger();
    EXPECT_TRUE(line_closed_first);
    EXPECT_FALSE(line.is_open());
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(stored("ZAZNAM", "SOUBOR").toString(), QStringLiteral("15"));
}

TEST_F(SettingsTest, CloseBoxWritesTheSettingsAndLeavesTheLineOpen) {
    Tkrt01& w = create();
    w.show();
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(line.count(FakeLine::Op::Close), 0);
    EXPECT_TRUE(line.is_open());
    EXPECT_EQ(stored("DESKTOP", "Width").toString(), QStringLiteral("718"));
}

TEST_F(SettingsTest, MenuHasTheCaptionsInOrder) {
    Tkrt01& w = create();
    QStringList seen;
    for (QAction* top : w.menuBar()->actions()) {
        seen << top->text();
        for (QAction* a : top->menu()->actions())
            seen << (a->isSeparator() ? QStringLiteral("-")
                                      : a->objectName() + QLatin1Char('=') + a->text());
    }
    EXPECT_EQ(seen.join(QLatin1Char('|')),
              QStringLiteral("&Soubor|mn_novy=&Nový soubor|-|mn_ulozit=&Uložit...|"
                             "mn_ulozitjako=Uložit j&ako...|-|mn_exit=&Konec|&Nastavení|"
                             "mn_port=&Komunikační port|mn_parametry=&Parametry regulátoru|"
                             "mn_barva=Nastavení &grafu|mn_rychlost_zaznamu=&Rychlost záznamu|"
                             "mn_vyr_para=Parametry z &výroby|Se&rvis|"
                             "mn_monitor=&Monitor komunikace|Nápo&věda|mn_about=&O aplikaci|"
                             "mn_ident=&Identifikace"));
}

TEST_F(SettingsTest, TopLevelMenusHaveDistinctAccessKeys) {
    Tkrt01& w = create();
    QSet<QChar> keys;
    for (QAction* top : w.menuBar()->actions()) {
        const QString text = top->text();
        const int amp = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << text.toStdString();
        EXPECT_FALSE(keys.contains(text.at(amp + 1).toLower())) << text.toStdString();
        keys.insert(text.at(amp + 1).toLower());
    }
}

TEST_F(SettingsTest, MenuItemsWithoutTheirDialogOpenNothing) {
    create();
    window->set_dialogs({});
    for (const char* name : {"mn_port", "mn_parametry", "mn_barva", "mn_rychlost_zaznamu",
                             "mn_vyr_para", "mn_about", "mn_ident", "mn_monitor"})
        action(name)->trigger();
    EXPECT_TRUE(prompts.empty());
    EXPECT_TRUE(window->timer().isActive());
}

TEST_F(SettingsTest, StatusPanelsCarryTheirHints) {
    create();
    EXPECT_EQ(label("pa_soubor")->toolTip(),
              QStringLiteral("Ukazuje četnost zápisu do souboru v minutách"));
    EXPECT_EQ(label("pa_zaznam")->toolTip(), QStringLiteral("Ukazuje rychlost zápisu do záznamu"));
    EXPECT_EQ(text("pa_path"), QStringLiteral("c:"));
    EXPECT_TRUE(action("mn_novy")->isCheckable());
    EXPECT_FALSE(window->log_file_chosen());
}

}  // namespace
