#!/usr/bin/env bash
# build-msi.sh <x86|x64> <version X.Y.Z> <module> <out.msi>
# The installer from ZTFileUpload.wxs. wixl reads no component conditions
# and places an action sequenced After= another at the end, so both are
# set in the built database afterwards.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arch=$1 version=$2 module=$3 msi=$4
case "$arch" in x86|x64) ;; *) echo "build-msi: arch must be x86 or x64" >&2; exit 2 ;; esac
msi=$(cd "$(dirname "$msi")" && pwd)/$(basename "$msi")
# wixl takes sources relative to where it runs.
cd "$(dirname "$module")"
wixl -a "$arch" -D Version="$version" -D Arch="$arch" -D Module="$(basename "$module")" \
  -o "$msi" "$here/ZTFileUpload.wxs" 2> >(grep -v '^$' >&2)
# The lock is written only when a list is given; a category only where the
# system lacks it (or an older ZTFileUpload wrote it and is being replaced).
# ALLOWEDSITES is secure: it reaches the elevated part of a managed install.
msibuild "$msi" -q "UPDATE Component SET Condition = 'ALLOWEDSITES' WHERE Component = 'SiteLock' OR Component = 'SiteLock32'" \
  -q "UPDATE Component SET Condition = 'NOT SCRIPTINGCATEGORYFOUND OR SCRIPTINGCATEGORYOURS' WHERE Component = 'ScriptingCategory'" \
  -q "UPDATE Component SET Condition = 'NOT INITIALIZINGCATEGORYFOUND OR INITIALIZINGCATEGORYOURS' WHERE Component = 'InitializingCategory'" \
  -q "UPDATE Property SET Value = 'ALLOWEDSITES;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE Property = 'SecureCustomProperties'" \
  -q "UPDATE InstallExecuteSequence SET Sequence = 51 WHERE Action = 'UseGivenSites'"
