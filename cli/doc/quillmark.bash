# bash completion for quillmark
_quillmark() {
    local cur prev command i
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    command=
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            stamp|mark|check|refresh|settings|hook|preview|doc|lsp|help) command=${COMP_WORDS[i]}; break ;;
        esac
    done
    case $prev in
        --settings) COMPREPLY=($(compgen -f -X '!*.reg' -- "$cur") $(compgen -d -- "$cur")); return ;;
        --encoding) COMPREPLY=($(compgen -W 'cp932 utf-8' -- "$cur")); return ;;
        --format) [[ $command == doc ]] && COMPREPLY=($(compgen -W 'html json markdown' -- "$cur")) || COMPREPLY=($(compgen -W 'text json sarif' -- "$cur")); return ;;
        --baseline|--write-baseline) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --output) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --line|--from|--to|--now|--author|--editor) return ;;
    esac
    local common='--help'
    case $command in
        '') COMPREPLY=($(compgen -W 'stamp mark check refresh settings hook preview doc lsp help --help --version' -- "$cur")); return ;;
        help) COMPREPLY=($(compgen -W 'stamp mark check refresh settings hook preview doc lsp' -- "$cur")); return ;;
        stamp) common+=' --settings --quiet --verbose -q -v --line --all --module-header --with-house-headers --undated --write --diff --patch --now --encoding --author --editor' ;;
        mark) common+=' --settings --quiet --verbose -q -v --from --to --write --diff --patch --now --encoding --author --editor' ;;
        check) common+=' --settings --quiet --verbose -q -v --module-header --public-only --format --staged --baseline --write-baseline --encoding' ;;
        refresh) common+=' --settings --quiet --verbose -q -v --write --diff --patch --now --encoding --author --editor' ;;
        preview) common+=' --settings --quiet --verbose -q -v --now --author --editor' ;;
        doc) common+=' --settings --quiet --verbose -q -v --output --format --public-only --force --now --encoding' ;;
        settings)
            if [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -W 'init list show get set reset export import FixedFormList CustomFormList SelectDatas ExtendValue EditStamp ToolBarPosition StartVisible SetSelectList LoadBehavior' -- "$cur"))
                return
            fi
            common+=' --settings --quiet --verbose -q -v --force --user --now' ;;
        hook)
            if [[ $cur != -* ]]; then
                COMPREPLY=($(compgen -W 'install' -- "$cur"))
                return
            fi ;;
        lsp) [[ $cur == -* ]] || return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$common" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -X '!*.@(bas|cls|frm|ctl|pag|dob|dsr|vbp|BAS|CLS|FRM|CTL|PAG|DOB|DSR|VBP)' -- "$cur") $(compgen -d -- "$cur"))
    fi
}
complete -F _quillmark quillmark
