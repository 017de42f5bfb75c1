# bash completion for velvarin-admin: commands, options, the fields amend
# takes and the groups report takes.
_velvarin_admin() {
  local cur prev words cword
  _init_completion || return

  local commands="list find cancel amend check report"
  local command="" word
  for word in "${words[@]:1:cword-1}"; do
    case $word in
      list | find | cancel | amend | check | report) command=$word && break ;;
    esac
  done

  case $prev in
    -f | --file)
      _filedir
      return
      ;;
    --format)
      COMPREPLY=($(compgen -W "table csv json" -- "$cur"))
      return
      ;;
    --by)
      COMPREPLY=($(compgen -W "movie date house type customer time" -- "$cur"))
      return
      ;;
    --line | --from | --to)
      return
      ;;
  esac

  local options
  case $command in
    "") options="-f --file --help --version" ;;
    list) options="--format --help" ;;
    find) options="--format --help" ;;
    cancel) options="--line --all --dry-run --format --help" ;;
    amend) options="--line --format --help" ;;
    check) options="--duplicates --help" ;;
    report) options="--by --from --to --format --help" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
  elif [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands" -- "$cur"))
  elif [[ $command == amend ]]; then
    compopt -o nospace
    COMPREPLY=($(compgen -W "booking= customer= movie= date= time= guests= house= type= fee=" -- "$cur"))
  fi
} && complete -F _velvarin_admin velvarin-admin
