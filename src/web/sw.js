// The site kept for a visit without network. Installed once the lab is in view, it keeps
// the page, the program and the images, each in the form the page takes it. It answers only
// the lab's own files and its page: at a server's root its scope is the whole server, and
// every other page and file there stays the server's and the browser's.
// With the network there, each of the lab's requests goes to the server as a revalidating
// one (cache: 'no-cache'): stock servers send no Cache-Control, and the browser would
// otherwise take a copy it guesses is fresh, for days. An unchanged file costs a 304. A
// request the network does not answer, a server error (5xx) or a web page in place of a
// file is answered from what was kept.
// The build writes LAB_SITE_VERSION from the site's files' contents: a new build is a new
// worker, which keeps the new files and drops the old ones.
var LAB_SITE_VERSION = '@LAB_SITE_VERSION@';
var LAB_SITE_FILES = [@LAB_SITE_FILES@];  // relative to this script

// One site's caches are named after its place, so two labs on one host keep their own.
var labScope = self.registration.scope;
var labCachePrefix = 'ostrel-lab ' + labScope + ' ';
var labCache = labCachePrefix + LAB_SITE_VERSION;
var LAB_GZIP = /\.gz$/;

// The lab's own file a URL names (its page for the folder's address, under any query), or null.
function labOwnFile(url) {
  url = url.replace(/[?#].*$/, '');
  if (url.indexOf(labScope) !== 0) return null;
  var file = url.slice(labScope.length) || 'index.html';
  return LAB_SITE_FILES.indexOf(file) >= 0 ? file : null;
}

// Whether an answer is the file itself: not a server's failure, nor a web page in place of a
// file (a host's error page, a captive portal's login). A 404 is the host's word: a .gz it
// removed is not brought back from the cache.
function labDelivered(response, file) {
  if (response.type === 'opaqueredirect') return true;
  if (response.status >= 500) return false;
  var type = (response.headers.get('Content-Type') || '').split(';')[0].trim().toLowerCase();
  return !(type === 'text/html' && !/\.html$/.test(file));
}

// Each file in the form the page fetches it: the .gz where this browser inflates, else (the
// .gz not listed, or refused) the file itself. One file not delivered costs no other: only a
// file the lab cannot do without, in neither form, fails the install (the worker before
// stays, with what it kept).
function labKeep(cache, file) {
  var keep = function (name) {
    return fetch(name, { cache: 'no-cache', credentials: 'same-origin' }).then(function (response) {
      if (!response.ok || !labDelivered(response, name)) throw new Error(name + ': ' + response.status);
      return cache.put(name, response);
    });
  };
  var gz = file + '.gz';
  var plain = function () { return keep(file); };
  var kept = typeof DecompressionStream === 'function' && LAB_SITE_FILES.indexOf(gz) >= 0 ? keep(gz).catch(plain) : plain();
  return /\.webmanifest$/.test(file) ? kept.catch(function () {}) : kept;
}

self.addEventListener('install', function (event) {
  event.waitUntil(caches.open(labCache).then(function (cache) {
    return Promise.all(LAB_SITE_FILES.filter(function (file) { return !LAB_GZIP.test(file); })
      .map(function (file) { return labKeep(cache, file); }));
  }).then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) { return name.indexOf(labCachePrefix) === 0 && name !== labCache; })
      .map(function (name) { return caches.delete(name); }));
  }).then(function () { return self.clients.claim(); }));
});

// A file the page took kept in place of what was (the .tga where its .gz went away, an image
// replaced by hand); one unchanged, as its validators say, not written again.
function labKeepAnswer(file, response) {
  if (response.status !== 200) return;
  caches.open(labCache).then(function (cache) {
    return cache.match(file).then(function (kept) {
      var same = function (header) { var v = response.headers.get(header); return !!v && v === kept.headers.get(header); };
      if (!kept || !(same('ETag') || same('Last-Modified'))) return cache.put(file, response);
    });
  }).catch(function () { /* kept or not, the page has its answer */ });
}

self.addEventListener('fetch', function (event) {
  var request = event.request;
  var file = request.method === 'GET' && labOwnFile(request.url);
  if (!file) return;
  var asked = request.cache === 'default' ? new Request(request, { cache: 'no-cache' }) : request;
  var fromCache = function (failure) {
    return caches.open(labCache).then(function (cache) { return cache.match(file); }).then(function (kept) {
      if (kept) return kept;
      throw failure;
    });
  };
  event.respondWith(fetch(asked).then(function (response) {
    if (!labDelivered(response, file)) return fromCache(null).catch(function () { return response; });
    labKeepAnswer(file, response.clone());
    return response;
  }, fromCache));
});
