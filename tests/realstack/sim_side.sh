# The simulated controller's side of the case table (cases): attach and
# detach as cases.sh wants them, with the lumora-vmodule options made the
# simulator's LUMORA_SIM_* settings. Sourced by the host's runner of the real
# stack (tests/realstack/run) and by the Windows runner (tests/windows/run),
# which define `as` themselves; bash.

attach() {
    local options=($1)
    export LUMORA_SIM_TRANSCRIPT=$2 LUMORA_SIM_MODULES=1
    while ((${#options[@]})); do
        if [[ ${options[0]} == --no-echo ]]; then
            export LUMORA_SIM_ECHO=0
            options=("${options[@]:1}")
            continue
        fi
        case ${options[0]} in
        --modules) LUMORA_SIM_MODULES=${options[1]} ;;
        --interfaces) export LUMORA_SIM_INTERFACES=${options[1]} ;;
        --serial) export LUMORA_SIM_SERIAL=${options[1]} ;;
        --unplug-after-ms) export LUMORA_SIM_UNPLUG_MS=${options[1]} ;;
        --replug-after-ms) export LUMORA_SIM_REPLUG_MS=${options[1]} ;;
        --ack) export LUMORA_SIM_ACK=${options[1]} ;;
        --status) export LUMORA_SIM_STATUS=${options[1]} ;;
        --status-reply) export LUMORA_SIM_STATUS_REPLY=${options[1]} ;;
        --vanish-after) export LUMORA_SIM_VANISH=${options[1]} ;;
        --refuse) export LUMORA_SIM_REFUSE=${options[1]} ;;
        --late) export LUMORA_SIM_LATE=${options[1]} ;;
        --reply-seq) export LUMORA_SIM_REPLY_SEQ=${options[1]} ;;
        *) return 1 ;;
        esac
        options=("${options[@]:2}")
    done
}

detach() {
    unset LUMORA_SIM_TRANSCRIPT LUMORA_SIM_ACK LUMORA_SIM_STATUS LUMORA_SIM_STATUS_REPLY LUMORA_SIM_VANISH \
        LUMORA_SIM_REFUSE LUMORA_SIM_LATE LUMORA_SIM_REPLY_SEQ LUMORA_SIM_ECHO \
        LUMORA_SIM_INTERFACES LUMORA_SIM_SERIAL LUMORA_SIM_UNPLUG_MS LUMORA_SIM_REPLUG_MS
    export LUMORA_SIM_MODULES=0
}
