# bash completion for telvaro-devsim; the options are read from its --help.
_telvaro_devsim()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
    --role) COMPREPLY=($(compgen -W "recorder sign controller" -- "$cur")); return ;;
    --fault) COMPREPLY=($(compgen -W "no-reply double-enq split-reply slow-upload garbage-upload changed-message changed-register" -- "$cur")); return ;;
    --link | --log | --transcript) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --tcp | --udp | --host | --reply | --pace | --duration) return ;;
    esac
    local options
    options=$("${COMP_WORDS[0]}" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u)
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
}
complete -o filenames -F _telvaro_devsim telvaro-devsim
