#!/usr/bin/env bash
# Installs into a temporary prefix as a user would, checks the entries with the desktop's own
# validators, lets the installed tarvane download a demo game, then uninstalls and checks that the
# user's files stayed.   install_test.sh BUILD_FOLDER
set -euo pipefail
build="$(realpath "$1")"
repo="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
site_pid=""
tarvane_pid=""
cleanup() {
    for pid in $tarvane_pid $site_pid; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Nothing of the user's is touched: a home of the test's own.
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
export XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen TARVANE_WEB_PANE=0
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/saved"
chmod 700 "$XDG_RUNTIME_DIR"
prefix="$work/prefix with blank"

BUILD="$build" "$repo/scripts/install" "$prefix" >/dev/null
programs="$prefix/lib/tarvane"
for program in tarvane selvik updater; do
    [ -x "$programs/$program" ] || fail "$program not installed"
done
desktop-file-validate "$prefix/share/applications/tarvane.desktop" "$prefix/share/applications/tarvane-url-handler.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/localhost.quellora.tarvane.metainfo.xml" >"$work/metainfo.log" ||
    { cat "$work/metainfo.log" >&2; fail "the metainfo does not validate"; }
for size in 16 32 48 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/tarvane.png" ] || fail "no ${size}px icon"
done

# The installed program's main job: a game page on the demo site becomes a finished, intact file.
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
export TARVANE_OFFICIAL_HOST="www.quellora.localhost:$port" TARVANE_PORTAL_HOST="game.quellora.localhost:$port"
export TARVANE_MINIGAME_HOST="mini.quellora.localhost:$port"
"$build/bin/demo-site" --port "$port" >/dev/null 2>&1 &
site_pid=$!
printf '[options]\ndefaultPath=%s\n' "$work/saved" >"$programs/config.ini"
page="http://$TARVANE_PORTAL_HOST/game/1102.htm"
for _ in $(seq 50); do curl -fs -o /dev/null "http://127.0.0.1:$port/" -H "Host: $TARVANE_PORTAL_HOST" && break; sleep 0.1; done
"$programs/tarvane" ">$page<" >"$work/tarvane.log" 2>&1 &
tarvane_pid=$!
line=""
for _ in $(seq 600); do
    line="$(grep -F "frmPge=\"$page\"" "$programs/completed.xml" 2>/dev/null || true)"
    [ -n "$line" ] && break
    kill -0 "$tarvane_pid" 2>/dev/null || { cat "$work/tarvane.log" >&2; fail "tarvane ended early"; }
    sleep 0.1
done
[ -n "$line" ] || fail "the game was not downloaded"
file="$(printf '%s\n' "$line" | sed -n 's/.* path="\([^"]*\)".*/\1/p')"
link="$(printf '%s\n' "$line" | sed -n 's/.* fileLink="\([^"]*\)".*/\1/p')"
[ "$("$build/bin/demo-site" --hash "$link" | cut -d' ' -f1)" = "$(sha256sum "$file" | cut -d' ' -f1)" ] ||
    fail "the downloaded file differs from the site's"
# At start it made itself the handler of tarvane: links, in the user's folder.
grep -qF "Exec=\"$programs/tarvane\" %u" "$XDG_DATA_HOME/applications/tarvane-url-handler.desktop" ||
    fail "no link handler in the user's folder"
kill -TERM "$tarvane_pid"
wait "$tarvane_pid" || true
tarvane_pid=""

"$repo/scripts/uninstall" "$prefix" >/dev/null
for gone in "$programs/tarvane" "$programs/selvik" "$programs/updater" "$prefix/share/applications/tarvane.desktop" \
    "$prefix/share/applications/tarvane-url-handler.desktop" "$XDG_DATA_HOME/applications/tarvane-url-handler.desktop" \
    "$prefix/share/metainfo/localhost.quellora.tarvane.metainfo.xml" \
    "$prefix/share/icons/hicolor/48x48/apps/tarvane.png"; do
    [ ! -e "$gone" ] || fail "left behind: $gone"
done
for kept in "$programs/config.ini" "$programs/download.xml" "$programs/completed.xml" "$file"; do
    [ -f "$kept" ] || fail "removed the user's $kept"
done
echo "installed, ran and uninstalled"
