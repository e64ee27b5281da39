#include "scene/surface.h"

#include "scene/lighting.h"
#include "texture/texture.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <direct.h>
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

// ---- one texture object per image (scene/images.h), made when first drawn
GLuint textureIds[LAB_IMAGE_COUNT];

// Where an image may be, in the order it is looked for. LAB_DATA_FROM_BIN is the build's
// own word on where the install puts the images, from the program's folder.
static const char* const DATA_VARIABLE = "OSTREL_LAB_DATA";
#ifdef _WIN32
static const char SEPARATOR = '\\';  // the system's own, so that names in messages read as one path
static const char* const SEPARATORS = "\\/";
#else
static const char SEPARATOR = '/';
static const char* const SEPARATORS = "/";
#endif
static const char* const LOCAL_DATA = "data";
static const char* const SHIPPED_DATA[] = {
    LAB_DATA_FROM_BIN,  // installed: ../share/ostrel-lab/data (on Windows data, as in its zip), or a folder of its own
    "data",             // beside the program: a build folder's link to the repository's images
};

static bool exists(const std::string& path, bool folder = false)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && (!folder || (st.st_mode & S_IFMT) == S_IFDIR);
}

// The folder holding the running program, as the system names it, and the program's own
// name. False where it cannot say (the browser has no /proc): then only data/ is looked at.
static bool programFolder(std::string& folder, std::string* program = nullptr)
{
#ifdef _WIN32
    // In the ANSI code page, the one fopen takes names in: UTF-8 by the program's manifest,
    // so any name. A name that fills the buffer may have been cut, so the buffer grows
    // until one does not.
    std::string exe(MAX_PATH, '\0');
    DWORD n;
    while ((n = GetModuleFileNameA(NULL, &exe[0], (DWORD)exe.size())) == exe.size()) exe.resize(exe.size() * 2);
    if (n == 0) return false;
    folder.assign(exe, 0, n);
    size_t slash = folder.find_last_of("\\/");
#else
    char exe[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) return false;
    folder.assign(exe, n);
    size_t slash = folder.rfind('/');
#endif
    if (slash == std::string::npos) return false;
    if (program) *program = folder.substr(slash + 1);
    folder.erase(slash);  // "/x" leaves "", so the folder becomes "/data"
    return true;
}

// The folder named by the variable, "" when it is unset or empty. A named folder must
// hold the images: a wrong name is reported, not passed over.
static std::string namedFolder()
{
    const char* named = getenv(DATA_VARIABLE);
    std::string folder = named ? named : "";
    while (folder.size() > 1 && strchr(SEPARATORS, folder.back())) folder.pop_back();
    return folder;
}

// A folder named from the program's, each leading "../" taken off it, so that messages name
// it plainly (the program's own path has no links in it to make that differ).
static std::string fromProgram(std::string folder, const char* relative)
{
    if (relative[0] == '/') return relative;  // an install folder given whole stays whole
    for (; strncmp(relative, "../", 3) == 0 && folder.find_last_of(SEPARATORS) != std::string::npos; relative += 3)
        folder.erase(folder.find_last_of(SEPARATORS));
    return folder + SEPARATOR + relative;
}

// The images the program came with, found from its own folder, installed or built. ""
// where there are none (the browser): an image missing is then named where the user
// would put it, under data/.
static std::string shippedFolder()
{
    std::string program;
    if (!programFolder(program)) return "";
    for (const char* folder : SHIPPED_DATA) {
        std::string path = fromProgram(program, folder);
        if (exists(path, true)) return path;
    }
    return "";
}

std::string labImagePath(LabImage image)
{
    static const std::string named = namedFolder(), shipped = shippedFolder();  // looked at once, then kept
    std::string file = SEPARATOR + std::string(labImageFiles[image]);
    if (!named.empty()) return named + file;
    // File by file: a data/ that lacks this image, or holds something else entirely,
    // leaves it to the shipped one.
    std::string local = LOCAL_DATA + file;
    if (shipped.empty() || exists(local)) return local;
    return shipped + file;
}

static std::string workingFolder()
{
#ifdef _WIN32
    char* here = _getcwd(NULL, 0);
#else
    char* here = getcwd(NULL, 0);
#endif
    std::string folder = here ? here : ".";
    free(here);
    return folder;
}

// What to do when an image is not there: a named folder is all or nothing; otherwise the
// folders looked in, by their full names, and on Windows where the images belong.
static std::string whenMissing()
{
    std::string named = namedFolder();
    if (!named.empty()) {
        std::string all;
        for (const char* file : labImageFiles) all += std::string(all.empty() ? "" : ", ") + file;
        return std::string(DATA_VARIABLE) + " names " + named + ", which must hold all the lab's images (" + all + ")";
    }
    std::string folder, program;
    if (!programFolder(folder, &program)) return "";  // the browser: the page says where
    std::string local = workingFolder() + SEPARATOR + LOCAL_DATA, shipped = shippedFolder();
    std::string own = shipped.empty() ? fromProgram(folder, SHIPPED_DATA[0]) : shipped;
    std::string said = "looked in " + local + " (under the working folder)";
    if (own != local)
        said += " and in " + own + " (the program's own images" + (shipped.empty() ? ": not there)" : ")");
#ifdef _WIN32
    said += ": keep the " + std::string(LOCAL_DATA) + " folder, with its images, beside " + program;
#endif
    return said;
}

static void bindLabTexture(LabImage image)
{
    if (textureIds[image])
        glBindTexture(GL_TEXTURE_2D, textureIds[image]);
    else
        loadTexture(textureIds, labImagePath(image).c_str(), image, whenMissing().c_str());
}

void drawTexturedQuad(LabImage image, SurfaceVariant variant, const TexturedCorner corners[4])
{
    bindLabTexture(image);
    glEnable(GL_TEXTURE_2D);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_specular);
    if (variant == EMISSIVE) glMaterialfv(GL_FRONT, GL_EMISSION, mat_specular);
    glBegin(GL_POLYGON);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(corners[i].s, corners[i].t);
        glVertex3f(corners[i].x, corners[i].y, corners[i].z);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glMaterialfv(GL_FRONT, GL_AMBIENT, no_mat);
    glMaterialfv(GL_FRONT, GL_EMISSION, no_mat);
}
