#include "platform/application.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <stdexcept>

#include "platform/errors.h"
#include "support/scripted_prompts.h"

namespace {

class ApplicationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app = qobject_cast<Application*>(QCoreApplication::instance());
        ASSERT_NE(app, nullptr);
        previous = &app->prompts();
        app->set_prompts(&prompts);
        prompts.allow_ok_messages();
    }
    void TearDown() override {
        if (app) app->set_prompts(previous);
    }

    Application* app = nullptr;
    Prompts* previous = nullptr;
    ScriptedPrompts prompts;
};

TEST_F(ApplicationTest, CarriesTheTitleTx20) {
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("TX-20"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("TX-20"));
}

TEST_F(ApplicationTest, ErrorRaisedInAClickHandlerIsReportedAndTheLoopGoesOn) {
    QPushButton button(QStringLiteral("Přečíst"));
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++clicks;
        throw PortError(PortError::Kind::Open, QStringLiteral("Nelze otevřít port COM1"));
    });
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);

    EXPECT_EQ(clicks, 2);
    ASSERT_EQ(prompts.messages().size(), 2u);
    const auto m = prompts.messages().at(0);
    EXPECT_EQ(m.text, QStringLiteral("Nelze otevřít port COM1."));
    EXPECT_EQ(m.caption, QStringLiteral("TX-20"));
    EXPECT_EQ(m.icon, PromptIcon::Error);
    EXPECT_EQ(m.buttons, PromptButtons::Ok);
    EXPECT_FALSE(button.isDown());
}

TEST_F(ApplicationTest, ForeignExceptionsFromTimersAreReportedByTheirText) {
    int later = 0;
    QTimer::singleShot(0, [] { throw std::runtime_error("disk full"); });
    QTimer::singleShot(0, [] { throw 42; });
    QTimer::singleShot(1, [&] { ++later; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return later == 1; }));

    ASSERT_EQ(prompts.messages().size(), 2u);
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("disk full."));
    EXPECT_EQ(prompts.messages()[1].text, QStringLiteral("Neznámá chyba."));
    EXPECT_EQ(prompts.messages()[1].caption, QStringLiteral("TX-20"));
}

TEST_F(ApplicationTest, HandlersThatDoNotThrowReportNothing) {
    QPushButton button;
    bool clicked = false;
    QObject::connect(&button, &QPushButton::clicked, [&] { clicked = true; });
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(prompts.empty());
}

}  // namespace
