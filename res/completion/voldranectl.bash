# bash completion for voldranectl: commands, options, office keys and names, printers.

_voldranectl_offices() {
    # "KEY  Name" lines start each office in `voldranectl list`; keys and names both apply.
    voldranectl list 2>/dev/null | sed -n 's/^\([0-9A-Za-z_-][^ ]*\)  \(.*\)$/\1\n\2/p'
}

_voldranectl_printers() {
    voldranectl printers 2>/dev/null | sed -n 's/^[* ] //p'
}

_voldranectl_words() {  # _voldranectl_words WORD... : offers the words matching $cur
    local IFS=$'\n'
    COMPREPLY=($(compgen -W "$*" -- "$cur"))
    # Names may hold spaces: quote what is offered.
    local i
    for i in "${!COMPREPLY[@]}"; do COMPREPLY[i]=$(printf '%q' "${COMPREPLY[i]}"); done
}

_voldranectl() {
    local cur prev words cword
    _init_completion -n = || return

    local commands="detect list add edit remove set match export import printers apply auto watch"
    local office_opts="--name --printer --current --ip --mask --gateway --dhcp --dns1 --dns2 --wins"
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
        return
    fi
    local command=${words[1]}

    case $prev in
        --printer)
            _voldranectl_words "$(_voldranectl_printers)"
            return ;;
        --name | --ip | --mask | --gateway | --dhcp | --dns1 | --dns2 | --wins)
            return ;;
    esac

    case $command in
        detect | list | printers)
            COMPREPLY=($(compgen -W "--json --help" -- "$cur")) ;;
        match)
            COMPREPLY=($(compgen -W "--explain --help" -- "$cur")) ;;
        add)
            COMPREPLY=($(compgen -W "$office_opts --help" -- "$cur")) ;;
        edit | remove)
            if [[ $cword -eq 2 ]]; then
                _voldranectl_words "$(voldranectl list 2>/dev/null | sed -n 's/^\([^ ]\+\)  .*$/\1/p')"
            elif [[ $command == edit ]]; then
                COMPREPLY=($(compgen -W "$office_opts --help" -- "$cur"))
            fi ;;
        apply)
            [[ $cword -eq 2 ]] && _voldranectl_words "$(_voldranectl_offices)" ;;
        set)
            if [[ $cword -eq 2 ]]; then
                COMPREPLY=($(compgen -W "auto-detect follow-network notify default-office autostart" -- "$cur"))
            elif [[ $cword -eq 3 ]]; then
                case $prev in
                    auto-detect | follow-network | notify | autostart) COMPREPLY=($(compgen -W "on off" -- "$cur")) ;;
                    default-office)
                        _voldranectl_words "$(voldranectl list 2>/dev/null | sed -n 's/^\([^ ]\+\)  .*$/\1/p')
--clear" ;;
                esac
            fi ;;
        export | import)
            _filedir reg ;;
    esac
}
complete -F _voldranectl voldranectl
