#!/usr/bin/env bash
# SPDX-FileCopyrightText: The Quillane developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Installs what is missing, builds Quillane and starts it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh build
if [[ -x build/bin/quillane ]]; then
  exec build/bin/quillane
fi
echo "Built; the desktop program is not part of this build."
