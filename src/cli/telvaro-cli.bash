# bash completion for telvaro-cli. The commands and each command's options
# are read from the program's own --help, so they never fall out of step.
# The signs of the registry named on the line (--registry), or the default one.
_telvaro_cli_signs()
{
    local registry=/etc/telvaro/signs i
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == --registry ]] && registry=${COMP_WORDS[i + 1]}
    done
    local f
    for f in "$registry"/*.conf; do
        [[ -f $f ]] && f=${f##*/} && echo "${f%.conf}"
    done
}

_telvaro_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local program=${COMP_WORDS[0]}
    if ((COMP_CWORD == 1)); then
        local commands
        commands=$("$program" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\).*/\1/p')
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    case $prev in
    --sign-type) COMPREPLY=($(compgen -W "vyrena orbilux" -- "$cur")); return ;;
    --device)
        # The devices plugged in, by their stable names, then any path.
        COMPREPLY=($(compgen -W "$("$program" ports 2>/dev/null | cut -f1)" -- "$cur") $(compgen -f -- "$cur"))
        return
        ;;
    --sign) COMPREPLY=($(compgen -W "$(_telvaro_cli_signs)" -- "$cur")); return ;;
    --registry | --transcripts) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    --port | --ip | --ip-port | --baud | --address | --repeat-from | --duration) return ;;
    --parallel | --retries | --retry-pause | --tag) return ;;
    esac
    if [[ ${COMP_WORDS[1]} == fleet && $cur != -* ]]; then
        if ((COMP_CWORD == 2)); then
            COMPREPLY=($(compgen -W "load status" -- "$cur"))
        elif [[ ${COMP_WORDS[2]} == load ]]; then
            COMPREPLY=($(compgen -W "$(_telvaro_cli_signs)" -- "$cur"))
        else
            COMPREPLY=($(compgen -f -- "$cur"))
        fi
        return
    fi
    if [[ $cur == -* ]]; then
        local options
        options=$("$program" "${COMP_WORDS[1]}" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _telvaro_cli telvaro-cli
