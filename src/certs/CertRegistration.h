// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>
#include <QtGlobal>

struct TProgramState;

// Keeps the platform's certificate stores in step with the tokens: each container's signature
// certificate goes to the personal store under the tool's provider name, root and CA certificates
// to "ROOT" and "CA".
namespace CertRegistration {

// The provider the certificates are registered under (catalog text PROVIDER_NAME).
QString providerName();

// Lists the containers of token `slot` again and registers their signature certificates (exchange
// certificates never). Returns 0, the status of the container listing, or
// TokenStatus::RegisterFailedBase plus the status of the first end-entity certificate the store
// refused; later containers are then not visited. A CA certificate the store refuses is not reported.
quint32 RegisterTokenCertificates(TProgramState& state, qint32 slot);

// Registers the certificates of every connected token; results are not reported.
void RegisterAllTokens(TProgramState& state);

} // namespace CertRegistration
