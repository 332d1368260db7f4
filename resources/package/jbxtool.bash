# bash completion for jbxtool: commands, their options, the values of
# --unknown-block, and for each operand the files it takes, up to the last
# operand the command has (check takes any number of banks).
# shellcheck shell=bash

# Offers the files whose extension is ext (an extended pattern without the
# dot, taken in either case) and the folders that may hold them; with no ext,
# every file.
_jbxtool_files()
{
    local cur=$1 ext=$2 pattern=
    local c
    for ((c = 0; c < ${#ext}; c++)); do
        local ch=${ext:c:1}
        case $ch in
            [a-z]) pattern+="[$ch${ch^^}]" ;;
            *) pattern+=$ch ;;
        esac
    done
    local IFS=$'\n'
    compopt -o filenames 2>/dev/null
    if [[ -n $ext ]]; then
        COMPREPLY+=($(compgen -d -- "$cur"))
        COMPREPLY+=($(shopt -s extglob; compgen -f -X "!*.@($pattern)" -- "$cur"))
    else
        COMPREPLY+=($(compgen -f -- "$cur"))
    fi
}

_jbxtool()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    local commands="info check extract convert rewrite replace rename create"
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi

    # bash splits --unknown-block=sk into "--unknown-block" "=" "sk" unless
    # '=' is taken out of COMP_WORDBREAKS.
    local values="stop skip force"
    if [[ $cur == --unknown-block=* ]]; then
        COMPREPLY=($(compgen -P "--unknown-block=" -W "$values" -- "${cur#--unknown-block=}"))
        return
    fi
    if [[ $cur == = && $prev == --unknown-block ]]; then
        COMPREPLY=($(compgen -W "$values"))
        return
    fi
    if [[ $prev == = ]] && ((COMP_CWORD > 1)) && [[ ${COMP_WORDS[COMP_CWORD - 2]} == --unknown-block ]]; then
        COMPREPLY=($(compgen -W "$values" -- "$cur"))
        return
    fi

    local command=${COMP_WORDS[1]}
    local options="--help --unknown-block= --any-version --"
    case $command in
        info | check) options+=" --json" ;;
        replace | rename | create) options+=" -o --output --output=" ;;
        extract | convert | rewrite) ;;
        *) return ;;
    esac
    case $command in
        convert | replace | create) options+=" --trim-silence --trim-silence= --mono --normalize --normalize= --8bit" ;;
    esac

    # The operand being typed: count those before it, leaving out options,
    # the file after -o and the pieces of a split --unknown-block=value.
    local operand=0 i endOfOptions=
    for ((i = 2; i < COMP_CWORD; i++)); do
        local word=${COMP_WORDS[i]}
        if [[ -n $endOfOptions ]]; then
            ((operand++))
        elif [[ $word == -o || $word == --output ]]; then
            ((i++))
        elif [[ $word == -- ]]; then
            endOfOptions=1
        elif [[ $word == = || ${COMP_WORDS[i - 1]} == = ]]; then
            :
        elif [[ $word == -?* ]]; then
            :
        else
            ((operand++))
        fi
    done

    # The bank to write: -o OUT, --output OUT or --output=OUT, which bash
    # splits at the '=' too. After "--" these are operands like any other.
    if [[ -z $endOfOptions ]]; then
        if [[ $prev == --output && $cur == = ]]; then
            _jbxtool_files "" jbx
            return
        fi
        if [[ $prev == -o || $prev == --output ]] || [[ $prev == = && ${COMP_WORDS[COMP_CWORD - 2]} == --output ]]; then
            _jbxtool_files "$cur" jbx
            return
        fi
        if [[ $cur == --output=* ]]; then
            _jbxtool_files "${cur#--output=}" jbx
            COMPREPLY=("${COMPREPLY[@]/#/--output=}")
            return
        fi
    fi
    if [[ -z $endOfOptions && $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return
    fi

    local kind=
    case $command:$operand in
        info:0 | check:* | extract:0 | rewrite:[01] | replace:0 | rename:0) kind=jbx ;;
        extract:1 | replace:1 | rename:1) kind=slot ;;
        extract:2) kind=any ;;
        convert:0) kind=sound ;;
        convert:1) kind=wav ;;
        replace:2 | create:[0-9]) kind=sound ;;
    esac
    case $kind in
        jbx | voc | wav) _jbxtool_files "$cur" "$kind" ;;
        sound) _jbxtool_files "$cur" "wav|voc|flac|ogg|oga|opus|mp3" ;;
        any) _jbxtool_files "$cur" "" ;;
        slot) COMPREPLY=($(compgen -W "1 2 3 4 5 6 7 8 9 10" -- "$cur")) ;;
    esac
}

complete -F _jbxtool jbxtool
