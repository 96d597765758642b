#!/bin/sh
# The stored adb path as other tools see it. With a Wine runner: values
# written by `reg add` are read by the program, and what it stores is what
# `reg query` shows. Without one: the same through the Linux setting file.
# usage: adb_setting_test.sh PROBE [WINE_RUN]
set -u
probe=$1
run=${2:-}
status=0

if [ -n "$run" ]; then
    $run --check || exit $? # 77: this machine cannot run the build
    key='HKCU\Software\Corvend\Velmora'
    put() { $run reg add "$key" /v ADBPath /t REG_SZ /d "$1" /f >/dev/null 2>&1; }
    put_unterminated() { # fills the read buffer, 261 UTF-16 units, without a terminator
        $run reg add "$key" /v ADBPath /t REG_BINARY /d "$(printf '4100%.0s' $(seq 261))" /f >/dev/null 2>&1
    }
    forget() { $run reg delete "$key" /f >/dev/null 2>&1; }
    stored() { $run reg query "$key" /v ADBPath | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
else
    XDG_CONFIG_HOME=$(mktemp -d)
    export XDG_CONFIG_HOME
    trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT
    file=$XDG_CONFIG_HOME/Corvend/Velmora/ADBPath
    put() { mkdir -p "${file%/*}" && printf '%s' "$1" >"$file"; }
    put_unterminated() { put "$(printf 'A%.0s' $(seq 261))"; }
    forget() { rm -f "$file"; }
    stored() { cat "$file"; }
fi

load() { $run "$probe" load | tr -d '\r'; }
expect() { # what, expected, actual
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected '$2', got '$3'"
        status=1
    else
        echo "ok: $1"
    fi
}

long260=$(printf 'x%.0s' $(seq 260))
long300=$(printf 'x%.0s' $(seq 300))

forget
expect "nothing stored" "[]" "$(load)"
put 'C:\Android SDK\platform-tools\adb.exe'
expect "written by another tool" '[C:\Android SDK\platform-tools\adb.exe]' "$(load)"
put "$long260"
expect "260 characters" "[$long260]" "$(load)"
put "$long300"
expect "too large" "[]" "$(load)"
put_unterminated
expect "fills the buffer without terminator" "[]" "$(load)"
put ""
expect "empty value" "[]" "$(load)"

if [ -z "$run" ]; then
    printf '%s\n' /opt/android/adb >"$file"
    expect "written by echo, with a line feed" "[/opt/android/adb]" "$(load)"
    printf '%s\r\n' /opt/android/adb >"$file"
    expect "with CR LF" "[/opt/android/adb]" "$(load)"
    printf '%s\n\n' /opt/android/adb >"$file"
    expect "two line ends" "[]" "$(load)"
    printf '%s\n' "$long260" >"$file"
    expect "260 characters and a line feed" "[$long260]" "$(load)"
fi

path='D:\tools (x86)\100% adb\adb.exe'
$run "$probe" store "$path"
expect "store succeeds" 0 $?
expect "stored value as others read it" "$path" "$(stored)"
expect "stored value read back" "[$path]" "$(load)"
if [ -z "$run" ]; then
    expect "file holds exactly the path's bytes" "${#path}" "$(wc -c <"$file" | tr -d ' ')"
fi
$run "$probe" store "$long300"
expect "too long a path is refused" 1 $?
expect "refusal keeps the stored path" "[$path]" "$(load)"

forget
exit $status
