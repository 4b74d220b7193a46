# bash completion for vostrel
_vostrel() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi

    case $prev in
        --state-dir)
            COMPREPLY=($(compgen -d -- "$cur"))
            return
            ;;
        --hub | --serial | --device | --index | --off-time | --location | --port | --vid-pid)
            return
            ;;
    esac

    # The command and the words after it that are not options.
    local command="" sub="" positionals=0 hub=0 i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --hub) hub=1; ((i++)) ;;
            --location) hub=2; ((i++)) ;;
            --state-dir | --serial | --device | --index | --off-time | --port | --vid-pid) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $command ]]; then
                    command=${words[i]}
                elif [[ ($command == watch || $command == recovery) && -z $sub ]]; then
                    sub=${words[i]}
                else
                    ((positionals++))
                fi
                ;;
        esac
    done

    local options="--help --state-dir"
    case $command in
        "")
            COMPREPLY=($(compgen -W "list hubs port watch times recovery log monitor version --help --version" -- "$cur"))
            return
            ;;
        list) options+=" --json" ;;
        hubs) options+=" --json --location --vid-pid --serial" ;;
        port)
            options+=" --hub --serial --device --index --off-time --location --port"
            # The action follows HUB PORT, PORT after --hub, or nothing
            # (--location and --port name the port alone).
            if [[ $cur != -* ]] && ((positionals == 2 - hub || positionals == 0)); then
                COMPREPLY=($(compgen -W "on off cycle toggle" -- "$cur"))
                return
            fi
            ;;
        watch)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "add remove list --help" -- "$cur"))
                return
            fi
            case $sub in
                add | remove) options+=" --hub --serial --device --index --location --port" ;;
                list) options+=" --json" ;;
            esac
            ;;
        times) options+=" --json" ;;
        recovery)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W "on off status --help" -- "$cur"))
                return
            fi
            ;;
        log) options+=" --json --follow" ;;
        monitor | version) ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
}
complete -F _vostrel vostrel
