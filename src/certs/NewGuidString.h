// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QString>

// A new GUID in its 38-character registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with
// upper-case hexadecimal digits: the name of a container made for an imported certificate.
QString NewGuidString();
