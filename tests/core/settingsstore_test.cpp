#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <functional>
#include <thread>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/settingsstore.h"
#include "support/consolecapture.h"
#include "support/withoutfilerights.h"
#include "support/withoutstandardinput.h"

using namespace qv;

TEST(SettingsStore, TypedReadsUseDefaultsUntilAValueIsStored)
{
    SettingsStore store;
    EXPECT_TRUE(store.get(Settings::maskSensitiveClipboard));
    EXPECT_FALSE(store.contains(Settings::maskSensitiveClipboard));
    EXPECT_EQ(store.get(Settings::customKeyCode), 48);
    EXPECT_EQ(store.get(Settings::popupEdge), "bottom");
    store.set(Settings::maskSensitiveClipboard, false);
    EXPECT_FALSE(store.get(Settings::maskSensitiveClipboard));
    EXPECT_TRUE(store.contains(Settings::maskSensitiveClipboard));
}

TEST(SettingsStore, RegisteredDefaultsAreNotStoredValues)
{
    SettingsStore store;
    store.registerDefaults({{"launchAtLogin", false}});
    EXPECT_FALSE(store.get(Settings::launchAtLogin));
    EXPECT_FALSE(store.contains("launchAtLogin"));
    EXPECT_TRUE(store.storedValues().isEmpty());
}

TEST(SettingsStore, ValueOfTheWrongKindReadsAsTheDefault)
{
    SettingsStore store;
    store.setValue("hoverDelay", "fast");
    store.setValue("customKeyCode", QVariantList{1, 2});
    store.setValue("enablePeeking", 0);
    EXPECT_DOUBLE_EQ(store.get(Settings::hoverDelay), 0.2);
    EXPECT_EQ(store.get(Settings::customKeyCode), 48);
    EXPECT_FALSE(store.get(Settings::enablePeeking));
    // A hand-edited file may hold a switch as text: the words for yes and no read as such.
    for (const auto &[text, expected] : {std::pair{"Yes", true},
                                         {" true ", true},
                                         {"1", true},
                                         {"no", false},
                                         {"FALSE", false},
                                         {"0", false},
                                         {"maybe", true}}) {
        store.setValue("showMenuBarIcon", QString::fromLatin1(text));
        EXPECT_EQ(store.get(Settings::showMenuBarIcon), expected) << text;
    }
}

TEST(SettingsStore, EveryChangeSignalsSynchronouslyAndPersistsAsFlatJson)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Quorvantis/defaults.json");
    {
        SettingsStore store(path);
        QSignalSpy spy(&store, &SettingsStore::changed);
        store.set(Settings::blurAmount, 12.5);
        store.set(Settings::blurAmount, 12.5); // the value already stored: silent
        store.set(Settings::appUsageHistory, QVariantMap{{"org.example.a", 1.7e9}});
        ASSERT_EQ(spy.count(), 2);
        EXPECT_EQ(spy.at(0).at(0).toString(), "blurAmount");
        store.remove("nothing-stored"); // removing an absent key is silent
        EXPECT_EQ(spy.count(), 2);
        // Storing the registered default is a change: the key is stored from now on.
        store.registerDefaults({{QStringLiteral("showMenuBarIcon"), true}});
        store.set(Settings::showMenuBarIcon, true);
        EXPECT_EQ(spy.count(), 3);
        EXPECT_TRUE(store.contains(Settings::showMenuBarIcon));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_DOUBLE_EQ(object.value("blurAmount").toDouble(), 12.5);
    EXPECT_TRUE(object.value("AppUsageHistory").isObject());

    SettingsStore reloaded(path);
    EXPECT_DOUBLE_EQ(reloaded.get(Settings::blurAmount), 12.5);
    EXPECT_DOUBLE_EQ(reloaded.get(Settings::appUsageHistory).value("org.example.a").toDouble(), 1.7e9);
}

TEST(SettingsStore, CorruptFileIsMovedAsideAndDefaultsApply)
{
    // The last is larger than any settings file: read only up to the bound.
    const QList<QByteArray> garbage = {"{not json", "[1,2,3]", QByteArray("\xff\xfe\x00garbage", 10),
                                       "{\"k\":\"" + QByteArray(SettingsStore::maxFileBytes, 'x') + "\"}"};
    for (const QByteArray &content : garbage) {
        QTemporaryDir dir;
        const QString path = dir.filePath("defaults.json");
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();

        SettingsStore store(path);
        EXPECT_TRUE(store.storedValues().isEmpty());
        ASSERT_FALSE(store.quarantinedPath().isEmpty());
        QFile aside(store.quarantinedPath());
        ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
        EXPECT_EQ(aside.readAll(), content); // kept as it was
        store.set(Settings::showMenuBarIcon, true);
        EXPECT_TRUE(QFile::exists(path));
    }
}

TEST(SettingsStore, ConcurrentReadersSeeWholeValues)
{
    SettingsStore store;
    std::atomic<bool> stop = false;
    std::atomic<int> bad = 0;
    std::thread reader([&] {
        while (!stop) {
            const QString v = store.get(Settings::ignoredApps);
            if (!v.isEmpty() && v != "a,b" && v != "c,d")
                ++bad;
        }
    });
    for (int i = 0; i < 2000; ++i)
        store.set(Settings::ignoredApps, QString(i % 2 ? "a,b" : "c,d"));
    stop = true;
    reader.join();
    EXPECT_EQ(bad, 0);
}

// What went wrong: a second unreadable file set aside within the same second could not be renamed
// onto the first one's name, stayed in place and was overwritten by the next write.
TEST(SettingsStore, SecondCorruptFileInTheSameSecondIsKeptToo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    const auto writeGarbage = [&](const QByteArray &content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    // Take the names of this second and the next, so the clock ticking over cannot help.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const QDateTime &when : {now, now.addSecs(1)}) {
        QFile taken(path + ".corrupt-" + when.toString("yyyyMMdd-HHmmss"));
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
        taken.write("earlier");
    }
    writeGarbage("second {");

    SettingsStore store(path);
    ASSERT_FALSE(store.quarantinedPath().isEmpty());
    store.set(Settings::showMenuBarIcon, true);
    QFile aside(store.quarantinedPath());
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), "second {");
    const QStringList kept = QDir(dir.path()).entryList({"defaults.json.corrupt-*"}, QDir::Files);
    EXPECT_EQ(kept.size(), 3);
}

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

// Regression: a settings file linked to /dev/zero was read without end, and a FIFO blocked the start
// for ever. Anything but a regular file is left as it is: defaults apply, it is never moved aside,
// read through or written over, and a change is refused rather than shown as made.
// A special file, or a link to one or to nothing, is not ours to replace. Every refused write is
// reported to its caller, but the console is told the cause once, not at every refused write (a
// toggle dragged back and forth printed ten lines in as many seconds).
TEST(SettingsStore, ALinkOrSpecialFileInPlaceIsLeftAloneAndChangesAreRefused)
{
    QTemporaryDir dir;
    const QString dotfile = dir.filePath("dotfiles.json");
    writeFile(dotfile, R"({"ignoreSingleWindow": true})");
    const struct
    {
        const char *name;
        std::function<bool(const QString &)> make;
    } rows[] = {
        {"link to /dev/zero", [](const QString &path) { return QFile::link("/dev/zero", path); }},
        {"fifo",
         [](const QString &path) { return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0; }},
        {"link to nothing", [&](const QString &path) { return QFile::link(dotfile + ".gone", path); }},
        {"link to a folder", [&](const QString &path) { return QFile::link(dir.path(), path); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = QDir(dir.filePath(row.name)).filePath("defaults.json");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
        ASSERT_TRUE(row.make(path));
        const QFileInfo before(path);
        const test::ConsoleCapture console;
        SettingsStore store(path);
        QSignalSpy changed(&store, &SettingsStore::changed);
        QSignalSpy failed(&store, &SettingsStore::writeFailed);
        EXPECT_TRUE(store.storedValues().isEmpty());
        EXPECT_TRUE(store.quarantinedPath().isEmpty());
        EXPECT_FALSE(store.set(Settings::ignoreSingleWindow, false));
        EXPECT_FALSE(store.set(Settings::ignoreSingleWindow, true));
        EXPECT_FALSE(store.set(Settings::sortMinimizedLast, true));
        EXPECT_EQ(failed.size(), 3);
        EXPECT_EQ(console.linesWith("could not be written").size(), 1)
            << console.lines().join('\n').toStdString();
        EXPECT_EQ(changed.size(), 0);
        EXPECT_FALSE(store.contains(Settings::ignoreSingleWindow));
        const QFileInfo after(path);
        EXPECT_EQ(after.isSymLink(), before.isSymLink());
        EXPECT_EQ(after.isFile(), before.isFile());
        EXPECT_EQ(
            QDir(QFileInfo(path).path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
            QStringList{"defaults.json"});
    }
    QFile untouched(dotfile);
    ASSERT_TRUE(untouched.open(QIODevice::ReadOnly));
    EXPECT_EQ(untouched.readAll(), QByteArray(R"({"ignoreSingleWindow": true})"));
}

// Regression: a settings file linked into a dotfiles folder was not read at all (defaults applied)
// and no change was saved. It is read through the link, and written through it: the file the link
// leads to is replaced in its own folder, and the link stays a link.
TEST(SettingsStore, ALinkedSettingsFileIsReadAndWrittenThroughAndTheLinkStays)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath("dotfiles")) && QDir().mkpath(dir.filePath("config/Quorvantis")));
    const QString target = dir.filePath("dotfiles/quorvantis.json");
    writeFile(target, R"({"ignoreSingleWindow": true})");
    const QString path = dir.filePath("config/Quorvantis/defaults.json");
    // Relative, as dotfile managers make them.
    ASSERT_TRUE(QFile::link("../../dotfiles/quorvantis.json", path));
    {
        SettingsStore store(path);
        EXPECT_TRUE(store.get(Settings::ignoreSingleWindow));
        EXPECT_TRUE(store.quarantinedPath().isEmpty());
        EXPECT_TRUE(store.set(Settings::sortMinimizedLast, true));
        EXPECT_TRUE(store.set(Settings::ignoreSingleWindow, false));
    }
    EXPECT_TRUE(QFileInfo(path).isSymLink());
    EXPECT_EQ(QFile::symLinkTarget(path), QFileInfo(target).canonicalFilePath());
    EXPECT_EQ(QDir(dir.filePath("config/Quorvantis"))
                  .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"defaults.json"});
    EXPECT_EQ(
        QDir(dir.filePath("dotfiles")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
        QStringList{"quorvantis.json"});
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject written = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(written.value("sortMinimizedLast"), QJsonValue(true));
    EXPECT_EQ(written.value("ignoreSingleWindow"), QJsonValue(false));
    SettingsStore reread(path);
    EXPECT_TRUE(reread.get(Settings::sortMinimizedLast));
    EXPECT_FALSE(reread.get(Settings::ignoreSingleWindow));
}

// The file a link leads to is the user's, wherever it lies: past the bound, or damaged, it is
// neither read, nor moved aside, nor written over.
TEST(SettingsStore, ALinkedFileThatCannotBeUsedIsLeftAsItIs)
{
    QTemporaryDir dir;
    const QByteArray damaged = R"({"ignoreSingleWindow": tru)";
    const QByteArray large = "{\"k\": \"" + QByteArray(SettingsStore::maxFileBytes, 'a') + "\"}";
    for (const QByteArray &contents : {damaged, large}) {
        const QString target = dir.filePath(QString::number(contents.size()) + ".json");
        writeFile(target, contents);
        const QString path = dir.filePath(QString::number(contents.size()) + "/defaults.json");
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()) && QFile::link(target, path));
        SettingsStore store(path);
        EXPECT_TRUE(store.storedValues().isEmpty());
        EXPECT_TRUE(store.quarantinedPath().isEmpty());
        EXPECT_FALSE(store.set(Settings::ignoreSingleWindow, true));
        EXPECT_TRUE(QFileInfo(path).isSymLink());
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll() == contents) << contents.size();
    }
}

// Regression: a write that fails at the disk (here past the process's file size limit, which holds
// for root as well, where a read-only folder does not) must not be reported as saved: the change
// is not made, it is not what the next start reads, and the cause is told once until a write
// goes through again.
TEST(SettingsStore, AWriteThatFailsAtTheDiskIsNotReportedAsSaved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    const test::ConsoleCapture console;
    SettingsStore store(path);
    ASSERT_TRUE(store.set(Settings::ignoreSingleWindow, true));
    const QString longName(4000, QLatin1Char('x'));
    rlimit limit = {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = limit;
    small.rlim_cur = 512;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    QSignalSpy failed(&store, &SettingsStore::writeFailed);
    const bool first = store.setValue("appLanguage", longName);
    const bool second = store.setValue("appLanguage", longName + "y");
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(first) << "a failed write was reported as saved";
    EXPECT_FALSE(second);
    EXPECT_EQ(failed.size(), 2);
    EXPECT_FALSE(store.contains("appLanguage")) << "a change that is not on disk is in force";
    EXPECT_EQ(console.linesWith("could not be written").size(), 1)
        << console.lines().join('\n').toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList{"defaults.json"});
    SettingsStore reread(path);
    EXPECT_TRUE(reread.get(Settings::ignoreSingleWindow));
    EXPECT_FALSE(reread.contains("appLanguage")) << "what the next start reads is not what was reported";

    // Once a write went through, the next refusal is told again.
    ASSERT_TRUE(store.set(Settings::sortMinimizedLast, true));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::signal(SIGXFSZ, SIG_IGN);
    const bool third = store.setValue("appLanguage", longName);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(third);
    EXPECT_EQ(console.linesWith("could not be written").size(), 2);
}

// Regression: a settings file we may not read (mode 000) was moved aside as damaged, and then
// replaced by a file of defaults. It is left where it is, as it is, and nothing is written over it.
TEST(SettingsStore, AFileThatMayNotBeReadIsLeftInPlaceAndNotWrittenOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    writeFile(path, R"({"ignoreSingleWindow": true})");
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::Permissions()));
    qv::test::runWithFileModesEnforced([&] {
        SettingsStore store(path);
        QSignalSpy failed(&store, &SettingsStore::writeFailed);
        EXPECT_TRUE(store.storedValues().isEmpty());
        EXPECT_TRUE(store.quarantinedPath().isEmpty());
        EXPECT_FALSE(store.set(Settings::showMenuBarIcon, true));
        EXPECT_EQ(failed.size(), 1);
    });
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"defaults.json"});
    struct stat status = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0u);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(R"({"ignoreSingleWindow": true})"));
}

// Regression: a usage history of 120,000 entries fitted the reader's bound compact but not indented,
// so the file written was moved aside as damaged at the next start and every setting was lost. What
// is written is always read back; what cannot fit even compact is not made.
TEST(SettingsStore, EverythingWrittenFitsTheReadersBound)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    const auto history = [](int entries) {
        QVariantMap map;
        for (int i = 0; i < entries; ++i)
            map.insert(QStringLiteral("app.%1").arg(i, 6, 10, QLatin1Char('0')), 1700000000.125 + i);
        return map;
    };
    {
        SettingsStore store(path);
        ASSERT_TRUE(store.set(Settings::ignoreSingleWindow, true));
        ASSERT_TRUE(store.setValue("AppUsageHistory", history(120000)));
        EXPECT_LE(QFileInfo(path).size(), SettingsStore::maxFileBytes);
        QSignalSpy failed(&store, &SettingsStore::writeFailed);
        EXPECT_FALSE(store.setValue("AppUsageHistory", history(200000)));
        EXPECT_EQ(failed.size(), 1);
        EXPECT_EQ(store.value("AppUsageHistory").toMap().size(), 120000);
    }
    SettingsStore reread(path);
    EXPECT_TRUE(reread.quarantinedPath().isEmpty());
    EXPECT_TRUE(reread.get(Settings::ignoreSingleWindow));
    EXPECT_EQ(reread.value("AppUsageHistory").toMap(), history(120000));
}

// A file of exactly the reader's bound is read, so it is written; one byte more is not.
TEST(SettingsStore, AFileOfExactlyTheBoundIsWrittenAndReadBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    // Compact: {"k":"…"} is the text and eight bytes.
    const QString fits(qsizetype(SettingsStore::maxFileBytes - 8), QLatin1Char('a'));
    {
        SettingsStore store(path);
        ASSERT_TRUE(store.setValue("k", fits));
        EXPECT_EQ(QFileInfo(path).size(), SettingsStore::maxFileBytes);
        EXPECT_FALSE(store.setValue("k", fits + QLatin1Char('a')));
    }
    SettingsStore reread(path);
    EXPECT_TRUE(reread.quarantinedPath().isEmpty());
    EXPECT_EQ(reread.value("k").toString().size(), fits.size());

    // Indented exactly to the bound: still indented, as a person editing the file expects it.
    const QString indentedFits(
        SettingsStore::maxFileBytes -
            QJsonDocument(QJsonObject{{"k", ""}}).toJson(QJsonDocument::Indented).size(),
        QLatin1Char('a'));
    SettingsStore store(path);
    ASSERT_TRUE(store.setValue("k", indentedFits));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray text = written.readAll();
    EXPECT_EQ(text.size(), SettingsStore::maxFileBytes);
    EXPECT_TRUE(text.startsWith("{\n    \"k\""))
        << "a file that fits the bound indented was written compact: " << text.left(12).toStdString();
}

TEST(SettingsStore, ARemovedKeyIsGoneFromTheFileAndReadsAsItsDefault)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    {
        SettingsStore store(path);
        ASSERT_TRUE(store.set(Settings::ignoreSingleWindow, true));
        ASSERT_TRUE(store.set(Settings::sortMinimizedLast, true));
        ASSERT_TRUE(store.remove(Settings::ignoreSingleWindow.key()));
        EXPECT_FALSE(store.contains(Settings::ignoreSingleWindow));
        EXPECT_FALSE(store.get(Settings::ignoreSingleWindow));
    }
    SettingsStore reread(path);
    EXPECT_FALSE(reread.contains(Settings::ignoreSingleWindow));
    EXPECT_TRUE(reread.get(Settings::sortMinimizedLast));
}

// Regression: with the settings folder unwritable, a switched toggle showed ON while the file kept
// OFF. A change that cannot be written is not made, and says so.
TEST(SettingsStore, AChangeThatCannotBeWrittenIsNotMade)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("Quorvantis");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/defaults.json";
    writeFile(path, R"({"ignoreSingleWindow": false})");
    // Made immutable where the file system and our rights allow it, else read-only.
    const bool immutable = QProcess::execute("chattr", {"+i", path, folder}) == 0;
    if (!immutable) {
        ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner) &&
                    QFile::setPermissions(path, QFileDevice::ReadOwner));
    }
    if (!immutable && ::geteuid() == 0) {
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        GTEST_SKIP() << "root writes read-only folders and chattr is not available here";
    }
    {
        SettingsStore store(path);
        QSignalSpy changed(&store, &SettingsStore::changed);
        QSignalSpy failed(&store, &SettingsStore::writeFailed);
        EXPECT_FALSE(store.set(Settings::ignoreSingleWindow, true));
        EXPECT_FALSE(store.remove(Settings::ignoreSingleWindow.key()));
        EXPECT_EQ(failed.size(), 2);
        EXPECT_EQ(changed.size(), 0);
        EXPECT_FALSE(store.get(Settings::ignoreSingleWindow));
        EXPECT_FALSE(store.storedValues().value("ignoreSingleWindow").toBool());
    }
    if (immutable)
        QProcess::execute("chattr", {"-i", path, folder});
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(R"({"ignoreSingleWindow": false})"));
}

// Started with its standard input closed, the program opens its settings file as descriptor 0: a
// file like any other, read and kept, never taken for one that could not be opened.
TEST(SettingsStore, AProgramStartedWithoutStandardInputReadsItsSettings)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("defaults.json");
    writeFile(path, R"({"ignoreSingleWindow": true})");
    const qv::test::WithoutStandardInput closed;
    SettingsStore store(path);
    EXPECT_TRUE(store.get(Settings::ignoreSingleWindow));
    EXPECT_TRUE(store.quarantinedPath().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(path));
}
