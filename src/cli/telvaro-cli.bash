# bash completion for telvaro-cli. The commands and each command's options
# are read from the program's own --help, so they never fall out of step.
# Replies are read one a line, so that a file name with blanks stays one
# name; bash quotes it when it puts it on the command line.

# The word being completed as the shell will read it: without the opening
# quote, or without the backslashes that escape its characters.
_telvaro_cli_unquoted()
{
    case $1 in
    \"* | \'*) printf '%s\n' "${1:1}" ;;
    *) printf '%s\n' "$1" | sed 's/\\\(.\)/\1/g' ;;
    esac
}

# The signs of the registry named on the line (--registry), or the default one.
_telvaro_cli_signs()
{
    local registry=/etc/telvaro/signs i
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == --registry ]] && registry=$(_telvaro_cli_unquoted "${COMP_WORDS[i + 1]}")
    done
    local f
    for f in "$registry"/*.conf; do
        [[ -f $f ]] && f=${f##*/} && printf '%s\n' "${f%.conf}"
    done
}

_telvaro_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local program=${COMP_WORDS[0]} word
    word=$(_telvaro_cli_unquoted "$cur")
    if ((COMP_CWORD == 1)); then
        local commands
        commands=$("$program" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\).*/\1/p')
        mapfile -t COMPREPLY < <(compgen -W "$commands --help --version" -- "$cur")
        return
    fi
    case $prev in
    --sign-type) mapfile -t COMPREPLY < <(compgen -W "vyrena orbilux" -- "$cur"); return ;;
    --device)
        # The devices plugged in, by their stable names, then any path.
        mapfile -t COMPREPLY < <(compgen -W "$("$program" ports 2>/dev/null | cut -f1)" -- "$cur"
                                 compgen -f -- "$word")
        return
        ;;
    --sign) mapfile -t COMPREPLY < <(compgen -W "$(_telvaro_cli_signs)" -- "$cur"); return ;;
    --registry | --transcripts) mapfile -t COMPREPLY < <(compgen -d -- "$word"); return ;;
    --port | --ip | --ip-port | --baud | --address | --repeat-from | --duration) return ;;
    --parallel | --retries | --retry-pause | --tag) return ;;
    esac
    if [[ ${COMP_WORDS[1]} == fleet && $cur != -* ]]; then
        if ((COMP_CWORD == 2)); then
            mapfile -t COMPREPLY < <(compgen -W "load status" -- "$cur")
        elif [[ ${COMP_WORDS[2]} == load ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$(_telvaro_cli_signs)" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -f -- "$word")
        fi
        return
    fi
    if [[ $cur == -* ]]; then
        local options
        options=$("$program" "${COMP_WORDS[1]}" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi
    mapfile -t COMPREPLY < <(compgen -f -- "$word")
}
complete -o filenames -F _telvaro_cli telvaro-cli
