# bash completion for tvx. The command names come from 'tvx --help', so new
# commands complete without a change here.
_tvx() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    local i command="" position=0
    # The command is the first word that is neither an option nor an option's value.
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --timeout|--probe-ms) ((i++)) ;;
            -*) ;;
            *) if [[ -z $command ]]; then command=${COMP_WORDS[i]}; else ((position++)); fi ;;
        esac
    done

    if [[ -z $command ]]; then
        case $prev in
            --timeout|--probe-ms) COMPREPLY=(); return ;;
        esac
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--timeout --probe-ms --trace --json --version --help" -- "$cur"))
        else
            local commands
            commands=$("${COMP_WORDS[0]}" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
            COMPREPLY=($(compgen -W "$commands help" -- "$cur"))
        fi
        return
    fi

    # position counts the words after the command before the one completed.
    local words=""
    case $command in
        io) [[ $position -eq 1 ]] && words="in out get set setall ain aout" ;;
        nar) [[ $position -eq 0 ]] && words="build inspect run" ;;
        lib) [[ $position -eq 0 ]] && words="make globals" ;;
        table) [[ $position -eq 0 ]] && words="read write" ;;
        search) words="--time" ;;
        help) [[ $position -eq 0 ]] && words=$("${COMP_WORDS[0]}" --help 2>/dev/null | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p') ;;
    esac
    if [[ -n $words ]]; then
        COMPREPLY=($(compgen -W "$words" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _tvx tvx
