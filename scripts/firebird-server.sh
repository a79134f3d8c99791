# Firebird 3 SuperServer on loopback for the client/server tests.
#
# Source this file, then:
#   firebird_server_start   starts the Debian server (guardian + server, as
#                           user firebird, no systemd) with the monitor's
#                           SYSDBA password and exports VELMORA_FB_SERVER
#   firebird_server_stop    stops it and unsets VELMORA_FB_SERVER
#   firebird_server_running true while port 3050 answers
#
# Starting is idempotent: a server that already runs is kept when it accepts
# the monitor's password, and restarted with the password set otherwise.
# Needs root (it switches to the firebird user and writes under /run).

VELMORA_FB_USER=SYSDBA
VELMORA_FB_PASSWORD=quarzbell
VELMORA_FB_SECURITY_DB=/var/lib/firebird/3.0/system/security3.fdb
VELMORA_FB_RUN_DIR=/run/firebird3.0
VELMORA_FB_PID_FILE=$VELMORA_FB_RUN_DIR/firebird.pid

firebird_server_running() {
    # bash's /dev/tcp: a connect that succeeds means the server listens.
    (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null
}

# True when the running server lets SYSDBA in with the monitor's password.
_velmora_fb_password_ok() {
    fbsvcmgr localhost:service_mgr -user "$VELMORA_FB_USER" -password "$VELMORA_FB_PASSWORD" \
        -info_server_version >/dev/null 2>&1
}

# Writes the password into the security database with the embedded engine,
# so the server must be down. Runs as firebird so that the lock files the
# engine leaves in /tmp/firebird stay usable by the server.
_velmora_fb_set_password() {
    printf "create or alter user %s password '%s' using plugin Srp;\ncommit;\n" \
        "$VELMORA_FB_USER" "$VELMORA_FB_PASSWORD" |
        runuser -u firebird -- isql-fb -q -user "$VELMORA_FB_USER" "$VELMORA_FB_SECURITY_DB"
}

_velmora_fb_wait() {
    local want=$1 tries=100
    while [ $tries -gt 0 ]; do
        if [ "$want" = up ]; then
            firebird_server_running && return 0
        else
            firebird_server_running || return 0
        fi
        sleep 0.1
        tries=$((tries - 1))
    done
    echo "firebird-server: the server did not come $want on port 3050" >&2
    return 1
}

# Sourced into the caller's shell: a missing root says so and returns, it
# never exits the shell.
_velmora_fb_need_root() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "$1 must run as root (the Firebird server): run it as root" >&2
        return 1
    fi
}

firebird_server_start() {
    if firebird_server_running && _velmora_fb_password_ok; then
        export VELMORA_FB_SERVER=localhost
        return 0
    fi
    _velmora_fb_need_root firebird_server_start || return 1
    firebird_server_stop || return 1

    _velmora_fb_set_password || {
        echo "firebird-server: could not set the SYSDBA password" >&2
        return 1
    }
    mkdir -p "$VELMORA_FB_RUN_DIR"
    chown firebird:firebird "$VELMORA_FB_RUN_DIR"
    chmod 0770 "$VELMORA_FB_RUN_DIR"
    rm -f "$VELMORA_FB_PID_FILE"
    # The guardian restarts the server should it die; -daemon detaches it.
    start-stop-daemon --start --quiet --chuid firebird:firebird \
        --pidfile "$VELMORA_FB_PID_FILE" --exec /usr/sbin/fbguard -- \
        -daemon -forever -pidfile "$VELMORA_FB_PID_FILE" >/dev/null 2>&1 || {
        echo "firebird-server: fbguard did not start" >&2
        return 1
    }
    _velmora_fb_wait up || return 1
    if ! _velmora_fb_password_ok; then
        echo "firebird-server: the server refuses the monitor's SYSDBA password" >&2
        return 1
    fi
    export VELMORA_FB_SERVER=localhost
}

firebird_server_stop() {
    _velmora_fb_need_root firebird_server_stop || return 1
    unset VELMORA_FB_SERVER
    # Guardian first, or it would start the server again.
    start-stop-daemon --stop --quiet --oknodo --retry 10 --exec /usr/sbin/fbguard >/dev/null 2>&1
    start-stop-daemon --stop --quiet --oknodo --retry 15 --exec /usr/sbin/firebird >/dev/null 2>&1
    _velmora_fb_wait down
}
