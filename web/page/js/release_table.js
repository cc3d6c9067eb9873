// The searchable table of every supported release.
function row(release) {
  const tr = document.createElement('tr');
  const conversion = release.flags & 2 ? 'identification only' : release.flags & 1 ? 'base release' : 'via the base';
  for (const [text, cls] of [[release.title], [release.id, 'id'], [release.sha1, 'digest'], [conversion]]) {
    const td = document.createElement('td');
    td.textContent = text;
    if (cls) td.className = cls;
    tr.append(td);
  }
  // An id may break after its underscores, so the table fits a phone's width.
  const id = tr.children[1];
  id.replaceChildren(...release.id.split(/(?<=_)/).flatMap((part) => [part, document.createElement('wbr')]).slice(0, -1));
  tr.dataset.search = `${release.title} ${release.id} ${release.sha1}`.toLowerCase();
  return tr;
}

export function showReleaseTable(releases) {
  const body = document.querySelector('#releases tbody');
  const caption = document.getElementById('release-count');
  const search = document.getElementById('release-search');
  const rows = releases.map(row);
  body.replaceChildren(...rows);
  const filter = () => {
    const words = search.value.toLowerCase().split(/\s+/).filter(Boolean);
    let shown = 0;
    for (const tr of rows) {
      tr.hidden = !words.every((word) => tr.dataset.search.includes(word));
      if (!tr.hidden) shown += 1;
    }
    caption.textContent = shown === rows.length ? `${rows.length} supported releases`
      : `${shown} of ${rows.length} supported releases`;
  };
  search.addEventListener('input', filter);
  filter();
}
