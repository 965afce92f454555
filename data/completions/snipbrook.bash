# bash completion for snipbrook
_snipbrook()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="list search copy add import delete favorite dedupe clear ignore popup show hide settings status quit --background --help --version"

    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi
    case ${COMP_WORDS[1]} in
        list)
            case $prev in
                --limit) return ;;
                --category) return ;;
            esac
            COMPREPLY=($(compgen -W "--limit --category --json" -- "$cur")) ;;
        search)
            COMPREPLY=($(compgen -W "--keyword --json" -- "$cur")) ;;
        add)
            [ "$COMP_CWORD" -eq 2 ] && COMPREPLY=($(compgen -W "--lines" -- "$cur")) ;;
        import)
            [ "$COMP_CWORD" -eq 2 ] && COMPREPLY=($(compgen -f -- "$cur")) ;;
        ignore)
            [ "$COMP_CWORD" -eq 2 ] && COMPREPLY=($(compgen -W "add remove" -- "$cur")) ;;
    esac
}
complete -F _snipbrook snipbrook
