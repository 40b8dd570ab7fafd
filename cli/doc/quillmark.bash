# bash completion for quillmark
_quillmark() {
    local cur prev command i
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    command=
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            stamp|mark|check|refresh|settings|preview|doc|help) command=${COMP_WORDS[i]}; break ;;
        esac
    done
    case $prev in
        --settings) COMPREPLY=($(compgen -f -X '!*.reg' -- "$cur") $(compgen -d -- "$cur")); return ;;
        --encoding) COMPREPLY=($(compgen -W 'cp932 utf-8' -- "$cur")); return ;;
        --format) [[ $command == doc ]] && COMPREPLY=($(compgen -W 'html json markdown' -- "$cur")) || COMPREPLY=($(compgen -W 'text json sarif' -- "$cur")); return ;;
        --output) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --line|--from|--to|--now|--author|--editor) return ;;
    esac
    local common='--settings --help'
    case $command in
        '') COMPREPLY=($(compgen -W 'stamp mark check refresh settings preview doc help --help --version' -- "$cur")); return ;;
        help) COMPREPLY=($(compgen -W 'stamp mark check refresh settings preview doc' -- "$cur")); return ;;
        stamp) common+=' --line --all --module-header --write --diff --now --encoding --author --editor' ;;
        mark) common+=' --from --to --write --diff --now --encoding --author --editor' ;;
        check) common+=' --module-header --public-only --format --encoding' ;;
        refresh) common+=' --write --diff --now --encoding --author --editor' ;;
        preview) common+=' --now --author --editor' ;;
        doc) common+=' --output --format --public-only --force --now --encoding' ;;
        settings)
            if [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -W 'list show get set reset export import FixedFormList CustomFormList SelectDatas ExtendValue EditStamp ToolBarPosition StartVisible SetSelectList LoadBehavior' -- "$cur"))
                return
            fi
            common+=' --force' ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$common" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -X '!*.@(bas|cls|frm|ctl|pag|dob|dsr|vbp|BAS|CLS|FRM|CTL|PAG|DOB|DSR|VBP)' -- "$cur") $(compgen -d -- "$cur"))
    fi
}
complete -F _quillmark quillmark
