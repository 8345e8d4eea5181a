// SPDX-License-Identifier: BSD-3-Clause
// Feeds arbitrary bytes to the viewer's algorithm reader: it may find nothing, but must never read
// outside the bytes, and what it finds must name something.
#include "certs/CertAlgorithms.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const CertAlgorithms read = CertAlgorithms::read(bytes);
    if (read.ok && (read.signatureOid.isEmpty() || read.keyOid.isEmpty() ||
                    CertAlgorithms::signatureName(read.signatureOid).isEmpty() ||
                    CertAlgorithms::keyName(read.keyOid, read.curveOid).isEmpty()))
        std::abort();
    if (!read.ok && !read.signatureOid.isEmpty())
        std::abort();
    CertAlgorithms::dottedOid(bytes.first(qMin<qsizetype>(bytes.size(), 80)));
    return 0;
}
