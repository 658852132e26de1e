#include "support/render.h"

#include <QApplication>
#include <QPixmap>

#include "main_window_fixture.h"
#include "sim/bus.h"

namespace {

// Renders the main window and "GRAF 3D" to PNG files in the folder named by
// TX20_RENDER_DIR, for a person to look at.
class RenderTest : public MainWindowTest {
  protected:
    void save(QWidget* w, const char* name) {
        QApplication::processEvents();  // pending layout changes
        EXPECT_TRUE(render_window(w, QLatin1String(name))) << name;
    }
    // Readings of the simulated controller at address 1, one per simulated second.
    void run_readings(int n) {
        line.set_responder([this](const Bytes& request) {
            return sim::flatten(
                controllers.handle(request.data(), static_cast<int>(request.size())));
        });
        requests.set_device_address(1);
        for (int i = 0; i < n; ++i) {
            if (i == n / 2) controllers.station(1).comp.SP += 20.0f;  // a set-point step to follow
            controllers.advance(1.0);
            window->tl_precistClick();
            bus.wait_idle();
        }
    }
    sim::Bus controllers{sim::Options{}};
};

TEST_F(RenderTest, MainWindowIn2DAnd3D) {
    Tkrt01& w = create();
    w.show();
    run_readings(300);
    save(&w, "main_window_3d");
    w.chart().set_view_3d(false);
    save(&w, "main_window_2d");
    controllers.station(1).live.FAULT = 1;
    w.tl_precistClick();
    bus.wait_idle();
    w.resize(1000, 650);
    save(&w, "main_window_fault_wide");
}

TEST_F(RenderTest, Graf3DDialog) {
    Tkrt01& w = create();
    rotace->fill(true, 0x0000FFFF, static_cast<std::int32_t>(0x8000000F), 35, 200);
    rotace->show();
    save(rotace, "graf_3d");
    rotace->hide();
    (void)w;
}

}  // namespace
