#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <functional>

#include "commissioning/clone.h"
#include "platform/private_profile.h"
#include "support/request_fixture.h"

using namespace commissioning;

namespace {

using Changes = std::vector<std::pair<const char*, QString>>;

// A real as the editor shows it under the running locale, and with the separator the
// locale does not use, which the editor refuses.
QString real_text(double v) { return params::format_real(v); }
QString foreign_real_text(double v) {
    const QLocale other = QLocale().decimalPoint() == QLatin1String(",")
                              ? QLocale::c()
                              : QLocale(QLocale::Czech, QLocale::Czechia);
    return params::format_real(v, other);
}

// A parameter file of the simulator's own values with some entries changed
// ("SECTION/KEY", value).
QString make_file(const QTemporaryDir& dir, const Changes& changes,
                  const QString& name = QStringLiteral("ref.ini")) {
    const QString path = dir.filePath(name);
    save_backup(path, sim::Bus(sim::Options{}).station(1));
    PrivateProfile ini(path);
    for (const auto& [key, value] : changes) {
        const QStringList sk = QString::fromLatin1(key).split(QLatin1Char('/'));
        ini.set_string(sk[0], sk[1], value);
    }
    ini.commit();
    return path;
}

// SP, DSER and FILT differ from every simulated controller: tables 0, 4 and 7; the
// address and password differ too but must never travel.
Changes reference_changes() {
    return {{"COMP/SP", real_text(40)},
            {"REGO/DSER", QStringLiteral("90")},
            {"OSTAT/FILT", QStringLiteral("3")},
            {"OSTAT/PASS", QStringLiteral("1234")},
            {"ADD/ADRESA", QStringLiteral("77")}};
}

class CloneTest : public RequestFixture {
  protected:
    void SetUp() override {
        RequestFixture::SetUp();
        sim::Options o;
        o.addresses = {1, 2, 3};
        attach(o);
        QStringList why;
        auto set = load_file(make_file(dir, reference_changes()), &why);
        ASSERT_TRUE(set) << why.join(' ').toStdString();
        reference = *set;
    }
    // Written tables per address, from the telegrams on the line.
    std::map<int, std::vector<int>> writes() const {
        std::map<int, std::vector<int>> out;
        for (const Bytes& w : line.writes())
            if (w.size() > 9 && w[0] == 0x68 && w[6] == 0x63 && w[7] == 0x02)
                out[w[4]].push_back(w[8]);
        return out;
    }
    int commits() const {
        int n = 0;
        for (const Bytes& w : line.writes()) n += w.size() == 10 && w[6] == 0x63 && w[7] == 0x06;
        return n;
    }

    QTemporaryDir dir;
    ParameterSet reference;
};

}  // namespace

TEST(ParameterFileSet, ValuesTheEditorWouldRefuseAreKeptAsRefused) {
    struct Case {
        Changes changes;
        std::vector<QString> refused;
    };
    const auto text = [](const char* t) { return QString::fromLatin1(t); };
    const Case cases[] = {
        {{{"COMP/SP", text("abc")}}, {QStringLiteral("COMP/SP")}},
        // The locale's own separator only, as in the editor.
        {{{"PID/TI", foreign_real_text(25)}}, {QStringLiteral("PID/TI")}},
        {{{"PID/TI", real_text(25.5)}}, {}},
        {{{"ALARM1/RALA", text("7")}}, {QStringLiteral("ALARM1/RALA")}},
        {{{"SENS/TYPE", text("-1")}}, {QStringLiteral("SENS/TYPE")}},
        {{{"REGO/DEAD", text("2.5")}}, {QStringLiteral("REGO/DEAD")}},
        {{{"REGO/DEAD", text("2,5")}}, {QStringLiteral("REGO/DEAD")}},
        // Beyond the 16 bits it travels in: would arrive as 4464.
        {{{"REGO/DSER", text("70000")}}, {QStringLiteral("REGO/DSER")}},
        {{{"COMP/SP", text("150")}, {"COMP/SP_H", text("100")}},
         {QStringLiteral("COMP/SP"), QStringLiteral("COMP/SP_L"), QStringLiteral("COMP/SP_H")}},
        {{{"REGO/TPID", text("9")}, {"ADD/ADRESA", text("300")}}, {}},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        QStringList why;
        const auto set = load_file(make_file(dir, c.changes), &why);
        ASSERT_TRUE(set) << why.join(' ').toStdString();
        std::vector<QString> refused;
        for (int i = 0; i < kParamCount; ++i)
            if (set->refused(i)) refused.push_back(param_key(i));
        EXPECT_EQ(refused, c.refused)
            << c.changes.front().first << "=" << c.changes.front().second.toStdString();
    }
}

TEST(ParameterFileSet, ValuesAreHeldAsTheControllerHoldsThem) {
    QTemporaryDir dir;
    const auto set = load_file(
        make_file(dir, {{"REGO/TPID", QStringLiteral("9")}, {"ADD/ADRESA", QStringLiteral("300")}}),
        nullptr);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->data.rego.TPID, 10);  // the file holds the position
    EXPECT_EQ(set->data.add.ADD, 44);    // the low eight bits
    EXPECT_EQ(set->file_value(param_index(*params::find_control(QStringLiteral("cb_tpid")))),
              QStringLiteral("9"));
    // TEAC is not in the file: never compared.
    EXPECT_FALSE(set->has(param_index(*params::find_control(QStringLiteral("cb_teac")))));
}

TEST(ParameterFileSet, UnusableFilesGiveNothingWithTheirReason) {
    QTemporaryDir dir;
    const QString missing_key = make_file(dir, {}, QStringLiteral("a.ini"));
    QByteArray text = PrivateProfile(missing_key).bytes();
    text.replace(("TI=" + real_text(100) + "\r\n").toLatin1(), "");
    QFile f(missing_key);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    const QString wrong = make_file(dir, {{"IDENT/VERSION", QStringLiteral("KELVRA20 [V.2.0]")}},
                                    QStringLiteral("b.ini"));
    const struct {
        QString path;
        const char* reason;
    } cases[] = {{missing_key, "chybí PID/TI"},
                 {wrong, "INI soubor není typu"},
                 {dir.filePath(QStringLiteral("none.ini")), "nelze přečíst"},
                 {dir.path(), "nelze přečíst"}};
    for (const auto& c : cases) {
        QStringList why;
        EXPECT_FALSE(load_file(c.path, &why)) << c.reason;
        EXPECT_TRUE(why.join(' ').contains(QString::fromUtf8(c.reason)))
            << why.join(' ').toStdString();
    }
}

TEST_F(CloneTest, BackupOfAControllerReadsBackEqual) {
    QString why;
    const auto controller = read_controller(session, 2, &why);
    ASSERT_TRUE(controller) << why.toStdString();
    EXPECT_EQ(controller->type_text, QStringLiteral("KELVRA 20"));
    save_backup(dir.filePath(QStringLiteral("b.ini")), controller->data);
    const auto file = load_file(dir.filePath(QStringLiteral("b.ini")), nullptr);
    ASSERT_TRUE(file);
    EXPECT_TRUE(differences(*file, *controller).empty());
}

TEST_F(CloneTest, EveryTargetIsVerifiedWithOnlyTheDifferingTablesWritten) {
    CloneOptions o;
    o.eeprom = true;
    for (int a : {1, 2, 3}) {
        const TargetResult r = clone_target(session, a, reference, o);
        EXPECT_EQ(r.outcome, TargetResult::Outcome::Verified) << a << r.status_text().toStdString();
        EXPECT_EQ(r.tables_written, (std::vector<int>{0, 4, 7}));
    }
    const auto w = writes();
    for (int a : {1, 2, 3}) {
        EXPECT_EQ(w.at(a), (std::vector<int>{0, 4, 7})) << a;
        const DeviceData& d = bus->station(a);
        EXPECT_FLOAT_EQ(d.comp.SP, 40.0f);
        EXPECT_EQ(d.rego.DSER, 90);
        EXPECT_EQ(d.ost.FILT, 3);
        EXPECT_EQ(d.ost.PASS, 0);  // the password stays
        EXPECT_EQ(d.add.ADD, a);   // and so does the address
    }
    EXPECT_EQ(commits(), 3);
    // A second run finds nothing to write and still verifies.
    line.clear_events();
    EXPECT_TRUE(clone_target(session, 2, reference, CloneOptions{}).verified());
    EXPECT_TRUE(writes().empty());
}

TEST_F(CloneTest, PasswordTravelsOnlyWhenAskedFor) {
    CloneOptions o;
    o.with_password = true;
    EXPECT_TRUE(clone_target(session, 3, reference, o).verified());
    EXPECT_EQ(bus->station(3).ost.PASS, 1234);
    EXPECT_EQ(bus->station(3).add.ADD, 3);
}

TEST_F(CloneTest, DryRunPlansAndWritesNothing) {
    CloneOptions o;
    o.dry_run = true;
    o.eeprom = true;
    const TargetResult r = clone_target(session, 2, reference, o);
    EXPECT_EQ(r.outcome, TargetResult::Outcome::Planned);
    EXPECT_EQ(r.tables_planned, (std::vector<int>{0, 4, 7}));
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(commits(), 0);
}

TEST_F(CloneTest, FailuresAreReportedAndNeverAsVerified) {
    // Address 2 refuses writes; address 3 vanishes after its first write.
    sim::Options o;
    o.addresses = {1, 2, 3};
    o.faults.push_back({sim::Fault::RefuseWrite, 1, 2});
    attach(o);
    int writes_to_3 = 0;
    line.set_responder([this, &writes_to_3](const Bytes& r) {
        if (r.size() > 8 && r[4] == 3 && (writes_to_3 > 0 || (r[6] == 0x63 && ++writes_to_3 > 1)))
            return Bytes{};
        return sim::flatten(bus->handle(r.data(), static_cast<int>(r.size())));
    });
    const TargetResult ok = clone_target(session, 1, reference, CloneOptions{});
    const TargetResult refused = clone_target(session, 2, reference, CloneOptions{});
    const TargetResult vanished = clone_target(session, 3, reference, CloneOptions{});
    const TargetResult nobody = clone_target(session, 9, reference, CloneOptions{});
    EXPECT_TRUE(ok.verified());
    EXPECT_EQ(refused.outcome, TargetResult::Outcome::NotVerified);
    EXPECT_TRUE(refused.status_text().startsWith(QStringLiteral("neověřeno")));
    EXPECT_EQ(vanished.outcome, TargetResult::Outcome::NotVerified);
    EXPECT_EQ(vanished.tables_written, (std::vector<int>{0}));
    EXPECT_EQ(nobody.outcome, TargetResult::Outcome::Failed);
    EXPECT_EQ(nobody.status_text(), QString::fromUtf8(kUnknownDevice));
}

TEST_F(CloneTest, OnlyTheSupportedModelIsWritten) {
    for (sim::Model m : {sim::Model::Krt01, sim::Model::Foreign}) {
        attach(m);
        line.clear_events();
        const TargetResult r = clone_target(session, 1, reference, CloneOptions{});
        EXPECT_EQ(r.outcome, TargetResult::Outcome::Failed);
        EXPECT_EQ(r.failure,
                  QString::fromUtf8(m == sim::Model::Krt01 ? kOlderModel : kUnknownDevice));
        EXPECT_TRUE(writes().empty());
    }
}

TEST_F(CloneTest, RefusedReferenceValuesBlockOnlyWhatTheCloneWrites) {
    reference.refused_reason[static_cast<std::size_t>(
        param_index(*params::find_control(QStringLiteral("ed_adresa"))))] = QStringLiteral("x");
    EXPECT_TRUE(blocking_refusals(reference, CloneOptions{}).empty());
    const int pass = param_index(*params::find_control(QStringLiteral("ed_pass")));
    reference.refused_reason[static_cast<std::size_t>(pass)] = QStringLiteral("x");
    EXPECT_TRUE(blocking_refusals(reference, CloneOptions{}).empty());
    CloneOptions with;
    with.with_password = true;
    EXPECT_EQ(blocking_refusals(reference, with), (std::vector<int>{pass}));
}

// A controller's set goes through the editor's rules before it is cloned: a set point
// beyond the limits it holds blocks the clone as a file's would.
TEST_F(CloneTest, AControllersValuesTheEditorWouldRefuseBlockTheClone) {
    auto set = read_controller(session, 1, nullptr);
    ASSERT_TRUE(set);
    mark_refusals(*set);
    EXPECT_TRUE(blocking_refusals(*set, CloneOptions{}).empty());
    set->data.comp.SP = 150.0f;
    set->data.rego.TPID = 0;
    mark_refusals(*set);
    QStringList keys;
    for (int i : blocking_refusals(*set, CloneOptions{})) keys << param_key(i);
    EXPECT_EQ(keys.join(' '), QStringLiteral("COMP/SP COMP/SP_L COMP/SP_H REGO/TPID"));
}

// What "Rozdílů" counts: the parameters a clone writes; the address never, the password
// only with its option, a refused value always.
TEST(Comparison, CountsOnlyWhatACloneWouldWrite) {
    const int sp = param_index(*params::find_control(QStringLiteral("ed_sp")));
    const int add = param_index(*params::find_control(QStringLiteral("ed_adresa")));
    struct Case {
        const char* name;
        std::function<void(ParameterSet&)> change;
        bool with_password;
        std::size_t counted;
        std::size_t shown;  // rows marked as different
    };
    const Case cases[] = {
        {"identical", [](ParameterSet&) {}, false, 0, 0},
        {"address only", [](ParameterSet& b) { b.data.add.ADD = 2; }, false, 0, 1},
        {"password without the option", [](ParameterSet& b) { b.data.ost.PASS = 7; }, false, 0, 1},
        {"password with the option", [](ParameterSet& b) { b.data.ost.PASS = 7; }, true, 1, 1},
        {"set point and address",
         [](ParameterSet& b) {
             b.data.comp.SP = 41.0f;
             b.data.add.ADD = 2;
         },
         false, 1, 2},
        {"refused set point",
         [sp](ParameterSet& b) { b.refused_reason[static_cast<std::size_t>(sp)] = "x"; }, false, 1,
         1},
        {"address absent from a file",
         [add](ParameterSet& b) {
             b.present[static_cast<std::size_t>(add)] = false;
             b.data.add.ADD = 9;
         },
         false, 0, 0},
    };
    for (const Case& c : cases) {
        ParameterSet a;
        a.present.fill(true);
        a.data.add.ADD = 1;
        ParameterSet b = a;
        c.change(b);
        CloneOptions o;
        o.with_password = c.with_password;
        EXPECT_EQ(counted_differences(a, b, o).size(), c.counted) << c.name;
        EXPECT_EQ(differences(a, b).size(), c.shown) << c.name;
    }
}

TEST(Comparison, TablesAreNamedByTheirTabs) {
    EXPECT_EQ(tables_text({}), QStringLiteral("žádná"));
    EXPECT_EQ(tables_text({0, 3}), QStringLiteral("COMP, PID"));
    EXPECT_EQ(tables_text({1, 2, 7}), QStringLiteral("ALARM 1, SENS, OST_"));
}
