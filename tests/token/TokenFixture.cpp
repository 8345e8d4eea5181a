// SPDX-License-Identifier: BSD-3-Clause
#include "TokenFixture.h"

#include "VTokenStore.h"

#include <QFile>

namespace {
QByteArray testData(const QString& file)
{
    QFile f(QStringLiteral(QX_TOKEN_TEST_DATA "/") + file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

QString TokenFixture::serial(int index)
{
    return QStringLiteral("QXTEST%1").arg(index, 10, 10, QLatin1Char('0'));
}

VToken TokenFixture::token(int index)
{
    return VToken::makeNew(serial(index), UserPin, SoPin);
}

VToken::KeyHalf TokenFixture::half(const QString& name)
{
    VToken::KeyHalf h;
    h.certificate = certificate(name);
    h.publicKey = testData(name + QStringLiteral(".pub"));
    h.privateKey = QByteArray("private key of ") + name.toLatin1();
    h.keyType = name == QLatin1String("user") ? 3 : 0;
    h.keyBits = name == QLatin1String("user") ? 256 : name == QLatin1String("ca") ? 3072 : 2048;
    return h;
}

QByteArray TokenFixture::certificate(const QString& name)
{
    return testData(name + QStringLiteral(".cer"));
}

VToken::Container TokenFixture::container(const QByteArray& name)
{
    VToken::Container c;
    c.name = name;
    return c;
}

bool TokenFixture::store(const VToken& token)
{
    return VTokenStore().create(token) == VTokenStore::Result::Ok;
}
