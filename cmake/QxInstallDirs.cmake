# SPDX-License-Identifier: BSD-3-Clause
# Install folders, relative to the prefix, and the same folders relative to the programs' folder (the
# tool finds its files from there at run time, so the whole tree can move).
include(GNUInstallDirs)
foreach(dir BINDIR LIBDIR DATADIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
        message(FATAL_ERROR "CMAKE_INSTALL_${dir} must be relative to the prefix for a relocatable install")
    endif()
endforeach()
set(QX_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/qx4100)
set(QX_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/qx4100)
file(RELATIVE_PATH QX_REL_LIBDIR /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${QX_INSTALL_LIBDIR})
file(RELATIVE_PATH QX_REL_DATADIR /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${QX_INSTALL_DATADIR})
