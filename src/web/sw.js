// The site kept for a visit without network. Installed once the lab is in view, it keeps
// the page, the program and the images; with the network there, every request still goes
// to the server (a new build is what the visitor gets, and ./lab web is never stale), and
// only a request the network does not answer is answered from what was kept.
// The build writes LAB_SITE_VERSION from the site's files' contents: a new build is a new
// worker, which keeps the new files and drops the old ones.
var LAB_SITE_VERSION = '@LAB_SITE_VERSION@';
var LAB_SITE_FILES = [@LAB_SITE_FILES@];  // relative to this script

// One site's caches are named after its place, so two labs on one host keep their own.
var labCachePrefix = 'ostrel-lab ' + self.registration.scope + ' ';
var labCache = labCachePrefix + LAB_SITE_VERSION;

// A file sent compressed too, in the form this browser's page fetches it: the .gz where it
// can inflate it.
function labKept(file) {
  var inflates = typeof DecompressionStream === 'function';
  if (/\.gz$/.test(file)) return inflates;
  return !inflates || LAB_SITE_FILES.indexOf(file + '.gz') < 0;
}

self.addEventListener('install', function (event) {
  event.waitUntil(caches.open(labCache).then(function (cache) {
    return cache.addAll(LAB_SITE_FILES.filter(labKept).map(function (file) { return new Request(file, { cache: 'no-cache' }); }));
  }).then(function () { return self.skipWaiting(); }));
});

self.addEventListener('activate', function (event) {
  event.waitUntil(caches.keys().then(function (names) {
    return Promise.all(names.filter(function (name) { return name.indexOf(labCachePrefix) === 0 && name !== labCache; })
      .map(function (name) { return caches.delete(name); }));
  }).then(function () { return self.clients.claim(); }));
});

// The page under any query (?bench) is the page; its folder's address is index.html.
self.addEventListener('fetch', function (event) {
  var request = event.request;
  if (request.method !== 'GET' || request.url.indexOf(self.registration.scope) !== 0) return;
  event.respondWith(fetch(request).catch(function (failure) {
    return caches.open(labCache).then(function (cache) {
      return cache.match(request, { ignoreSearch: true }).then(function (kept) {
        return kept || (request.mode === 'navigate' ? cache.match('index.html') : undefined);
      });
    }).then(function (kept) {
      if (kept) return kept;
      throw failure;
    });
  }));
});
