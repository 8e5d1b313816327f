# The README's links: every file it links or shows is in the repository.
# shellcheck shell=bash

# Fails, naming the file, unless every file that README.md links or shows by a relative path
# is in the repository: a file left out of a commit, or hidden by .gitignore, is a broken link
# in every clone and on every page that shows the repository. Without git (a fresh machine has
# none) the work tree is a clone, and a file in it is one that was committed. Needs only bash,
# sed and grep, so that it can run before anything is installed.
check_readme_links() {
    local readme="$REPO_ROOT/README.md" top="" link target bad=0
    if command -v git >/dev/null; then
        top="$(git -C "$REPO_ROOT" rev-parse --show-toplevel 2>/dev/null || true)"
        [ "$top" = "$(cd "$REPO_ROOT" && pwd -P)" ] || top=""
    fi
    # Inline links and pictures, reference definitions (not footnotes) and HTML src and href
    # attributes; nothing inside code blocks or code spans.
    # shellcheck disable=SC2016 # Markdown's backquotes, not the shell's
    while IFS= read -r link; do
        case "$link" in
        ']('*) target="${link#"]("}"; target="${target%")"}" ;;
        src=* | href=*) target="${link#*=?}"; target="${target%?}" ;;
        *) target="${link#*]:}" ;;
        esac
        target="${target#"${target%%[![:space:]]*}"}"
        if [ "${target#<}" != "$target" ]; then
            target="${target#<}"; target="${target%%>*}"
        else
            target="${target%%[[:space:]]*}" # a title follows the address
        fi
        target="${target%%#*}"; target="${target%%\?*}"
        target="$(printf '%b' "${target//%/\\x}")" # %XX escapes
        # An anchor in this page, or another site.
        [ -z "$target" ] || [[ "$target" =~ ^(//|[a-zA-Z][a-zA-Z0-9+.-]*:) ]] && continue
        target="${target#/}"; target="${target#./}"
        if [ -n "$top" ]; then
            [ -n "$(git -C "$REPO_ROOT" --literal-pathspecs ls-files -- "$target")" ] && continue
            echo "README check: '$target', which README.md links, is not in the repository: add it with git (is it in .gitignore?)" >&2
        else
            [ -e "$REPO_ROOT/$target" ] && continue
            echo "README check: '$target', which README.md links, is not in the repository" >&2
        fi
        bad=1
    done < <(sed -e '/^ \{0,3\}\(```\|~~~\)/,/^ \{0,3\}\(```\|~~~\)/d' -e 's/`[^`]*`//g' "$readme" |
        grep -oE '\]\([^)]*\)|^ {0,3}\[[^]^][^]]*\]:[[:space:]]*[^[:space:]]+|(src|href)=("[^"]*"|'"'[^']*'"')' || true)
    return "$bad"
}
