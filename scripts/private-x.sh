# Sourced by the scripts that run the monitor under an X server of their own (the durability
# harness, the idle benchmark).
#   start_private_x WORK
# starts Xvfb on a free display, sets xvfb_pid for the caller's clean-up, and exports DISPLAY and
# private runtime and configuration folders under WORK, with no session bus.
start_private_x() {
    exec 3< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null & echo "pid $!"; wait)
    read -r _ xvfb_pid <&3
    read -r display <&3
    export DISPLAY=":$display" QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
    export XDG_RUNTIME_DIR="$1/runtime" XDG_CONFIG_HOME="$1/config"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
}
