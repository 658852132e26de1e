#include "gateway/listen_address.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "gateway/credentials.h"

namespace {

TEST(ListenAddress, AHostLeftOutIsTheLoopbackAndOnlyWrittenAddressesOpenToTheNetwork) {
    const struct {
        const char* text;
        bool ok;
        const char* host;
        int port;
        bool loopback;
    } cases[] = {
        {":1502", true, "127.0.0.1", 1502, true},
        {"127.0.0.1:80", true, "127.0.0.1", 80, true},
        {"127.8.9.10:80", true, "127.8.9.10", 80, true},
        {"localhost:8080", true, "localhost", 8080, true},
        {"[::1]:8080", true, "::1", 8080, true},
        {"0.0.0.0:502", true, "0.0.0.0", 502, false},
        {"192.168.1.20:502", true, "192.168.1.20", 502, false},
        {"[::]:8080", true, "::", 8080, false},
        {"plant-gw:502", true, "plant-gw", 502, false},
        {"1502", false, "", 0, false},
        {":0", false, "", 0, false},
        {":65536", false, "", 0, false},
        {"::1:80", false, "", 0, false},
        {"host:", false, "", 0, false},
    };
    for (const auto& c : cases) {
        ListenAddress a;
        ASSERT_EQ(parse_listen_address(QString::fromLatin1(c.text), &a), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(a.host, QLatin1String(c.host)) << c.text;
        EXPECT_EQ(a.port, c.port) << c.text;
        EXPECT_EQ(is_loopback_host(a.host), c.loopback) << c.text;
    }
}

TEST(ClientAllowList, LetsInTheListedAddressesAndRangesOnly) {
    ClientAllowList list;
    QString bad;
    ASSERT_TRUE(list.parse(QStringLiteral("192.168.1.0/24, 10.0.0.5,fd00::/8"), &bad));
    const struct {
        const char* client;
        bool allowed;
    } cases[] = {
        {"192.168.1.1", true},      {"192.168.1.255", true}, {"192.168.2.1", false},
        {"10.0.0.5", true},         {"10.0.0.6", false},     {"::ffff:192.168.1.7", true},
        {"::ffff:10.0.0.6", false}, {"fd12::1", true},       {"fe80::1", false},
        {"127.0.0.1", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list.allows(QHostAddress(QString::fromLatin1(c.client))), c.allowed) << c.client;
    EXPECT_TRUE(ClientAllowList().allows(QHostAddress(QStringLiteral("203.0.113.9"))));

    for (const char* wrong : {"", "10.0.0.300", "10.0.0.0/33", "host", "10.0.0.1,,10.0.0.2"}) {
        ClientAllowList l;
        EXPECT_FALSE(l.parse(QString::fromLatin1(wrong), &bad)) << wrong;
        EXPECT_FALSE(bad.isEmpty()) << wrong;
    }
}

TEST(Credentials, TheFileGivesUserAndPasswordAndIsRefusedWhenOthersMayReadIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        const char* content;
        QFileDevice::Permissions mode;
        bool ok;
        const char* user;
        const char* password;
        const char* reason;
    } cases[] = {
        {"gateway\ns3cr et\n", QFile::ReadOwner | QFile::WriteOwner, true, "gateway", "s3cr et",
         ""},
        {"gateway\r\npass\r\n", QFile::ReadOwner, true, "gateway", "pass", ""},
        {"gateway\npass", QFile::ReadOwner, true, "gateway", "pass", ""},
        {"gateway\npass\n", QFile::ReadOwner | QFile::ReadOther, false, "", "", "0404"},
        {"gateway\npass\n", QFile::ReadOwner | QFile::ReadGroup, false, "", "", "others may"},
        {"", QFile::ReadOwner, false, "", "", "empty"},
        {"\n\n", QFile::ReadOwner, false, "", "", "empty"},
        {"gateway\n", QFile::ReadOwner, false, "", "", "no password"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::number(n++));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        ASSERT_TRUE(f.setPermissions(c.mode));
        Credentials got;
        QString reason;
        ASSERT_EQ(read_credentials(path, &got, &reason), c.ok) << c.content;
        if (c.ok) {
            EXPECT_EQ(got.user, QLatin1String(c.user));
            EXPECT_EQ(got.password, QLatin1String(c.password));
        } else {
            EXPECT_TRUE(reason.contains(QLatin1String(c.reason))) << reason.toStdString();
        }
    }
    Credentials got;
    QString reason;
    EXPECT_FALSE(read_credentials(dir.filePath(QStringLiteral("missing")), &got, &reason));
    EXPECT_FALSE(reason.isEmpty());
    // systemd's credentials folder is private, whatever its ACL shows in the group bits.
    const QString shared = dir.filePath(QStringLiteral("4"));
    EXPECT_FALSE(read_credentials(shared, &got, &reason));
    qputenv("CREDENTIALS_DIRECTORY", dir.path().toLocal8Bit());
    EXPECT_TRUE(read_credentials(shared, &got, &reason)) << reason.toStdString();
    qunsetenv("CREDENTIALS_DIRECTORY");
}

}  // namespace
