# Sourced by the viewer's tests: they wait for a state, never for a time.
# `waitUntil WHAT COMMAND...` runs COMMAND until it succeeds. The limit is far beyond what
# a loaded machine needs (a sanitizer build beside two busy processes takes seconds), so
# only a fault reaches it; it then fails naming WHAT.
waitLimitSeconds=${RIGKIT_WAIT_LIMIT:-100}
waitUntil() {
    local what=$1
    shift
    local deadline=$((SECONDS + waitLimitSeconds))
    until "$@"; do
        if ((SECONDS >= deadline)); then
            echo "FAIL: $what did not happen within $waitLimitSeconds s"
            return 1
        fi
        sleep 0.05
    done
}

# Whether the file exists; gives up (fails the wait at once) when process $pid has ended.
existsWhileRunning() {
    [ -e "$1" ] && return 0
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: the viewer ended before $1 appeared"; exit 1; }
    return 1
}

# Finds the viewer's window and gives it the keyboard, until the X server says it has it:
# a search can meet windows Qt is still making, and keys sent before the focus is there
# go nowhere. Sets `window`.
focusViewer() {
    window=$(xdotool search --onlyvisible --name '(^| - )rigkit-view$' 2>/dev/null | head -1)
    [ -n "$window" ] && xdotool windowfocus "$window" 2>/dev/null &&
        [ "$(xdotool getwindowfocus 2>/dev/null)" = "$window" ]
}
