#!/usr/bin/env bash
# Builds the Debian package (./package) and checks it: every file in place, the validators
# (lintian, desktop-file-validate, appstreamcli), and the program started from the package
# unpacked into a temporary root, so a broken data or settings path shows.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
extra_packages=(lintian desktop-file-utils appstream)
source "$root/tools/setup.sh"
"$root/package"

deb=$(ls -t "$root"/build/qe7204-tool_*.deb | head -n 1)
app_id=org.example.qe7204_tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
step() { echo "== $*"; }

step "contents of $(basename "$deb")"
expected=(
    usr/bin/qe7204-tool
    usr/share/qe7204-tool/bckg_pos.jpg
    usr/share/qe7204-tool/bckg_tah.jpg
    usr/share/qe7204-tool/kaz.bmp
    usr/share/applications/$app_id.desktop
    usr/share/metainfo/$app_id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$app_id.svg
    usr/share/icons/hicolor/256x256/apps/$app_id.png
    usr/share/man/man1/qe7204-tool.1.gz
    usr/share/doc/qe7204-tool/README.md
    usr/share/doc/qe7204-tool/copyright
    usr/share/doc/qe7204-tool/changelog.gz
)
# The command line's own package, without the window's libraries, holds the udev rule.
ctldeb=$deb
rules=()
for rule in "$root"/contrib/udev/*.rules; do
    [[ -e "$rule" ]] && rules+=("usr/lib/udev/rules.d/$(basename "$rule")")
done
if [[ -d "$root/cli" ]]; then
    ctldeb=$(ls -t "$root"/build/qe7204ctl_*.deb 2>/dev/null | head -n 1)
    [[ -n "$ctldeb" ]] || fail "no qe7204ctl package was built"
fi
contents=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./||')
for file in "${expected[@]}"; do
    grep -qxF "$file" <<<"$contents" || fail "$file is not in the package"
done
if [[ -n "$ctldeb" ]]; then
    step "contents of $(basename "$ctldeb")"
    ctlcontents=$(dpkg-deb -c "$ctldeb" | awk '{print $NF}' | sed 's|^\./||')
    ctlexpected=("${rules[@]}")
    [[ "$ctldeb" != "$deb" ]] && ctlexpected+=(usr/bin/qe7204ctl usr/share/man/man1/qe7204ctl.1.gz
        usr/share/bash-completion/completions/qe7204ctl
        usr/share/doc/qe7204ctl/examples/production.sh usr/share/doc/qe7204ctl/json.md
        usr/share/doc/qe7204ctl/copyright usr/share/doc/qe7204ctl/changelog.gz)
    for file in ${ctlexpected[@]+"${ctlexpected[@]}"}; do
        grep -qxF "$file" <<<"$ctlcontents" || fail "$file is not in $(basename "$ctldeb")"
    done
fi

step "control fields"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libc6 libqt6widgets6 libjpeg62-turbo qt6-qpa-plugins; do
    grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[[ $(dpkg-deb -f "$deb" Section) == electronics ]] || fail "Section is not electronics"
dpkg-deb -I "$ctldeb" postinst | grep -q 'udevadm control --reload-rules' ||
    fail "postinst does not reload the udev rules"
if [[ "$ctldeb" != "$deb" ]]; then
    grep -q "\bqe7204ctl (= $(dpkg-deb -f "$deb" Version))" <<<"$depends" ||
        fail "the tool's package does not depend on qe7204ctl: $depends"
    ctldepends=$(dpkg-deb -f "$ctldeb" Depends)
    for unwanted in libqt6widgets6 libqt6charts6 libqt6gui6 fonts- qt6-qpa-plugins; do
        ! grep -q "$unwanted" <<<"$ctldepends" || fail "qe7204ctl needs $unwanted: $ctldepends"
    done
fi

step "lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
if [[ "$ctldeb" != "$deb" ]]; then
    lintian --fail-on error --tag-display-limit 0 "$ctldeb" || fail "lintian reports errors"
fi

dpkg -x "$deb" "$work/root"
step "desktop-file-validate"
desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop" ||
    fail "desktop entry does not validate"
step "appstreamcli validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "metainfo does not validate"

step "manual pages"
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [[ -z "$warnings" ]] || fail "$(basename "$page"): $warnings"
done

step "installed program"
program="$work/root/usr/bin/qe7204-tool"
version=$(dpkg-deb -f "$deb" Version)
[[ $("$program" --version) == "qe7204-tool $version" ]] || fail "--version does not say $version"
if [[ "$ctldeb" != "$deb" ]]; then
    dpkg -x "$ctldeb" "$work/ctlroot"
    [[ $("$work/ctlroot/usr/bin/qe7204ctl" --version) == "qe7204ctl $version" ]] ||
        fail "qe7204ctl --version does not say $version"
fi

# Started from an empty folder with its own configuration folder, for a few seconds.
mkdir -p "$work/cwd" "$work/config"
status=0
(cd "$work/cwd" && QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" \
    QT_LOGGING_RULES="qe7204.data.debug=true" \
    timeout 8 "$program" --simulate 2>"$work/stderr") || status=$?
[[ $status -eq 124 ]] || fail "qe7204-tool --simulate ended early with status $status"
data="$work/root/usr/share/qe7204-tool"
for image in bckg_pos.jpg kaz.bmp; do
    grep -qF "$image found at $data/$image" "$work/stderr" ||
        fail "the panel did not find $image in $data"
done
ini="$work/config/qe7204-tool/qe7204-tool.ini"
grep -qx 'Last Opened=QE000001' "$ini" 2>/dev/null || fail "no adapter stored in $ini"
stray=$(find "$work/root" -name '*.ini')
[[ -z "$stray" ]] || fail "the installed program wrote into its installation: $stray"

# The Python module's own package, beside the tool's.
pydeb=$(ls -t "$root"/build/python3-qe7204_*.deb 2>/dev/null | head -n 1)
if [[ -d "$root/python" ]]; then
    step "contents of $(basename "${pydeb:-python3-qe7204 (missing)}")"
    [[ -n "$pydeb" ]] || fail "no python3-qe7204 package was built"
fi
if [[ -n "$pydeb" ]]; then
    site=usr/lib/python3/dist-packages/qe7204
    pydoc=usr/share/doc/python3-qe7204
    pycontents=$(dpkg-deb -c "$pydeb" | awk '{print $NF}' | sed 's|^\./||')
    for file in $site/__init__.py $site/__init__.pyi $site/py.typed $pydoc/copyright \
        $pydoc/changelog.gz $pydoc/python.md $pydoc/examples/station.py; do
        grep -qxF "$file" <<<"$pycontents" || fail "$file is not in the Python package"
    done
    grep -qE "^$site/_qe7204\.cpython-[0-9]+-[^/]+\.so$" <<<"$pycontents" ||
        fail "the extension is not in $site"
    ! grep -q "dist-packages" <<<"$contents" || fail "the tool's package holds the Python module"
    grep -q "\bpython3 (" <<<"$(dpkg-deb -f "$pydeb" Depends)" || fail "python3-qe7204 needs no python3"
    [[ $(dpkg-deb -f "$pydeb" Section) == python ]] || fail "python3-qe7204's Section is not python"
    step "lintian python3-qe7204"
    lintian --fail-on error --tag-display-limit 0 "$pydeb" || fail "lintian reports errors"
    step "the module from the package"
    dpkg -x "$pydeb" "$work/pyroot"
    imported=$(cd "$work/cwd" && PYTHONPATH="$work/pyroot/$site/.." /usr/bin/python3 -c '
import sys, qe7204
assert qe7204.__file__.startswith(sys.argv[1]), qe7204.__file__
with qe7204.open(simulate=True) as chip:
    print(chip.set(Res=1024)["Res"].text)' "$work/pyroot" 2>&1) || true
    [[ "$imported" == 1024 ]] || fail "the packaged module does not work: $imported"
fi

if ((failures)); then
    echo "--- program's standard error:" >&2
    cat "$work/stderr" >&2
    exit 1
fi
echo "package check passed: $deb"
