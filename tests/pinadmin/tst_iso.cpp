// SPDX-License-Identifier: BSD-3-Clause
#include "ConnectedToken.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"
#include "TestTimings.h"
#include "TestWait.h"
#include "pinadmin/TIsoPage.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QToolButton>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

namespace {
const QString kPin = QString::fromLatin1(TokenFixture::UserPin);
const QString kDone = QStringLiteral("下载成功");
QString failed(quint32 status)
{
    return QStringLiteral("下载失败(ErrorCode = 0x%1)")
        .arg(QStringLiteral("%1").arg(status, 8, 16, QLatin1Char('0')).toUpper());
}
} // namespace

// CD-ROM image writing on a virtual token's partition.
class TstIso : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void sectorRounding_data();
    void sectorRounding();
    void imageReachesThePartition_data();
    void imageReachesThePartition();
    void refusedBeforeTheToken_data();
    void refusedBeforeTheToken();
    void tokenPulledOutMidWrite();
    void imageShrinksMidWrite();
    void browseOffersIsoFiles();

private:
    void showPage(const VToken& token);
    QByteArray makeImage(qint64 size);
    QByteArray partition(const VToken& token) const;
    void start(const QString& path, const QString& pin = kPin);

    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<TProgramState> m_state;
    std::unique_ptr<TIsoPage> m_page;
    QString m_image;
};

void TstIso::init()
{
    m_env = std::make_unique<TestEnv>(false);
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_state = std::make_unique<TProgramState>();
    m_state->timings = testTimings();
    ResStrs::resetToDefaults();
    m_image = m_env->path(QStringLiteral("image.iso"));
}

void TstIso::cleanup()
{
    m_page.reset();
    CerMgrApis::FreeTokenLibrary();
    m_state.reset();
    m_dialogs.reset();
    m_env.reset();
}

void TstIso::showPage(const VToken& token)
{
    QVERIFY(ConnectedToken::connect(token, *m_state));
    m_page = std::make_unique<TIsoPage>(*m_state);
    m_page->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
}

QByteArray TstIso::makeImage(qint64 size)
{
    QByteArray bytes(size, '\0');
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(1 + (i * 7 + i / 251) % 255); // never zero, so padding shows
    QFile f(m_image);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != size)
        return {};
    return bytes;
}

QByteArray TstIso::partition(const VToken& token) const
{
    QFile f(VTokenStore().cdromPath(token.serial));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TstIso::start(const QString& path, const QString& pin)
{
    m_page->findChild<QLineEdit*>(QStringLiteral("edtUPINForDownISO"))->setText(pin);
    m_page->findChild<QLineEdit*>(QStringLiteral("edtPath"))->setText(path);
    m_page->downIso();
}

void TstIso::sectorRounding_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("sectors");
    QTest::newRow("empty") << qint64(0) << qint64(0);
    QTest::newRow("one byte") << qint64(1) << qint64(1);
    QTest::newRow("one chunk") << qint64(65536) << qint64(32);
    QTest::newRow("chunk and 4096, with a zero sector") << qint64(65536 + 4096) << qint64(35);
    QTest::newRow("70000") << qint64(70000) << qint64(35);
    QTest::newRow("4 MiB") << qint64(4 << 20) << qint64(2048);
}

void TstIso::sectorRounding()
{
    QFETCH(qint64, size);
    QFETCH(qint64, sectors);
    QCOMPARE(TIsoPage::sectorsFor(size), sectors);
}

void TstIso::imageReachesThePartition_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<qint64>("partitionSectors");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("progressMax");
    QTest::newRow("empty") << qint64(0) << qint64(0) << true << 0;
    QTest::newRow("exactly one chunk") << qint64(65536) << qint64(32) << true << 64;
    // Two calls, 32 sectors then 3: the partition of 35 takes it exactly, one of 34 refuses it.
    QTest::newRow("chunk and 4096") << qint64(65536 + 4096) << qint64(35) << true << 68;
    QTest::newRow("chunk and 4096, one sector short") << qint64(65536 + 4096) << qint64(34) << false << 68;
    QTest::newRow("70000") << qint64(70000) << qint64(40) << true << 68;
    QTest::newRow("smaller than a chunk") << qint64(5000) << qint64(3) << true << 4;
    QTest::newRow("no partition") << qint64(5000) << qint64(0) << false << 4;
}

void TstIso::imageReachesThePartition()
{
    QFETCH(qint64, size);
    QFETCH(qint64, partitionSectors);
    QFETCH(bool, fits);
    QFETCH(int, progressMax);
    VToken t = TokenFixture::token(0);
    t.cdromSectors = partitionSectors;
    showPage(t);
    const QByteArray image = makeImage(size);
    QCOMPARE(image.size(), size);
    QSignalSpy finished(m_page.get(), &TIsoPage::finished);
    m_state->sessions.at(0)->setLogin(TTokenSession::Login::UserByPin);

    start(m_image);
    QX_TRY_COMPARE(finished.size(), 1);
    auto* progress = m_page->findChild<QProgressBar*>(QStringLiteral("PBISO"));
    QCOMPARE(progress->maximum(), progressMax);
    QCOMPARE(m_state->loginState(0), 1);
    const QByteArray written = partition(t);
    if (fits) {
        QCOMPARE(m_dialogs->texts(), QStringList{kDone});
        QCOMPARE(progress->value(), progressMax);
        QCOMPARE(written.left(size), image);
        const qint64 padded = TIsoPage::sectorsFor(size) * 2048;
        QCOMPARE(written.mid(size, padded - size), QByteArray(padded - size, '\0'));
    } else {
        // Refused before the first sector: the partition was never touched.
        QCOMPARE(m_dialogs->texts(), QStringList{failed(0x0A000121)});
        QCOMPARE(written.count('\0'), written.size());
        QCOMPARE(progress->value(), 0);
    }
}

void TstIso::refusedBeforeTheToken_data()
{
    QTest::addColumn<QString>("path"); // "folder", "missing", "fifo", "image" or an absolute path
    QTest::addColumn<QString>("pin");
    QTest::addColumn<int>("userTries");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("triesAfter");
    QTest::newRow("missing file") << "missing" << kPin << 10 << "ISO文件不存在" << 10;
    QTest::newRow("a folder") << "folder" << kPin << 10 << "ISO文件不存在" << 10;
    // Opened without blocking and refused: a FIFO would hang the window, and a device of size 0
    // would fill the whole partition.
    const QString notAFile = QStringLiteral("所选的ISO文件不是普通文件");
    QTest::newRow("a FIFO") << "fifo" << kPin << 10 << notAFile << 10;
    QTest::newRow("/dev/zero") << "/dev/zero" << kPin << 10 << notAFile << 10;
    QTest::newRow("/dev/urandom") << "/dev/urandom" << kPin << 10 << notAFile << 10;
    QTest::newRow("user PIN locked") << "image" << kPin << 0 << "USBKey已锁死" << 0;
    QTest::newRow("wrong user PIN, no count") << "image"
                                              << "00000000" << 5 << "用户PIN码不正确" << 4;
}

void TstIso::refusedBeforeTheToken()
{
    QFETCH(QString, path);
    QFETCH(QString, pin);
    QFETCH(int, userTries);
    QFETCH(QString, message);
    QFETCH(int, triesAfter);
    VToken t = TokenFixture::token(0);
    t.cdromSectors = 64;
    t.userPin.triesLeft = userTries;
    showPage(t);
    QVERIFY(!makeImage(4096).isEmpty());
    const QString fifo = m_env->path(QStringLiteral("fifo.iso"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString target = path == QLatin1String("image")      ? m_image
                           : path == QLatin1String("folder")   ? m_env->path(QString())
                           : path == QLatin1String("fifo")     ? fifo
                           : path.startsWith(QLatin1Char('/')) ? path
                                                               : m_env->path(QStringLiteral("none.iso"));
    start(target, pin);
    QCOMPARE(m_dialogs->texts(), QStringList{message});
    QVERIFY(!m_page->writing());
    QCOMPARE(ConnectedToken::stored(t).userPin.triesLeft, triesAfter);
    QVERIFY(partition(t).isEmpty());
}

void TstIso::tokenPulledOutMidWrite()
{
    VToken t = TokenFixture::token(0);
    t.cdromSectors = 256;
    showPage(t);
    QVERIFY(!makeImage(4 * 65536).isEmpty());
    // Once the first chunk is in, the token goes away during the next write.
    auto* progress = m_page->findChild<QProgressBar*>(QStringLiteral("PBISO"));
    bool pulled = false;
    connect(progress, &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 64 && !pulled) {
            pulled = ConnectedToken::change(t, [](VToken& token) {
                VToken::Fault f;
                f.kind = VToken::Fault::PullOutNextCall;
                f.function = QStringLiteral("token_write_sectors");
                token.faults.append(f);
            });
        }
    });
    QSignalSpy finished(m_page.get(), &TIsoPage::finished);
    start(m_image);
    QX_TRY_COMPARE(finished.size(), 1);
    QVERIFY(pulled);
    QCOMPARE(finished.first().first().toUInt(), 0x0A000023u);
    QCOMPARE(m_dialogs->texts(), QStringList{failed(0x0A000023)});
    QCOMPARE(progress->value(), 64);
    QVERIFY(!m_page->writing());
}

void TstIso::imageShrinksMidWrite()
{
    VToken t = TokenFixture::token(0);
    t.cdromSectors = 256;
    showPage(t);
    QVERIFY(!makeImage(4 * 65536).isEmpty());
    // Once the first chunk is in, the image loses most of its second one.
    auto* progress = m_page->findChild<QProgressBar*>(QStringLiteral("PBISO"));
    connect(progress, &QProgressBar::valueChanged, this, [&](int value) {
        if (value == 64)
            QFile::resize(m_image, 65536 + 100);
    });
    QSignalSpy finished(m_page.get(), &TIsoPage::finished);
    start(m_image);
    QX_TRY_COMPARE(finished.size(), 1);
    QVERIFY(finished.first().first().toUInt() != 0);
    QCOMPARE(m_dialogs->texts(), QStringList{QStringLiteral("下载失败(ISO文件在写入过程中变短了)")});
    QCOMPARE(progress->value(), 64);
    QVERIFY(!m_page->writing());
    QCOMPARE(m_state->loginState(0), 1);
}

void TstIso::browseOffersIsoFiles()
{
    showPage(TokenFixture::token(0));
    m_dialogs->setNextFileName(QStringLiteral("/media/disc.iso"));
    QTest::mouseClick(m_page->findChild<QToolButton*>(QStringLiteral("edtPathButton")), Qt::LeftButton);
    QCOMPARE(m_page->findChild<QLineEdit*>(QStringLiteral("edtPath"))->text(),
             QStringLiteral("/media/disc.iso"));
    QCOMPARE(m_dialogs->fileRequests().first().options.filter, QStringLiteral("ISO File (*.iso)"));
}

QTEST_MAIN(TstIso)
#include "tst_iso.moc"
