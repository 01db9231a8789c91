/* The DVD image SDK: builds a DVD-Video folder from a description file
 * ("dvdimage.ini") with one menu or one title and the titles that follow,
 * each with its menu button's rectangle.
 *
 * Calls, in this order, on one builder: DVDImageBuild_Create,
 * DVDImageBuild_LoadINI, DVDImageBuild_SetOutputFolder,
 * DVDImageBuild_SetProgressCallback, DVDImageBuild_BuildDVD,
 * DVDImageBuild_Destory. The folder is written to the output folder +
 * "DVD/VIDEO_TS/".
 *
 * The build runs on the caller's thread inside DVDImageBuild_BuildDVD, and
 * the progress callback is called from there, on that thread, at least ten
 * times a second, so a caller may handle its window's messages in it.
 * DVDImageBuild_StopBuildDVD may be called from the callback (or from any
 * other thread): the running tool is ended, the half-written folder removed,
 * and DVDImageBuild_BuildDVD returns 0.
 *
 * Every function that returns int returns non-zero on success and 0 on
 * failure; DVDImageBuild_GetErrorText then says why. */
#ifndef FOX_IMAGER_H
#define FOX_IMAGER_H

#ifdef __cplusplus
extern "C" {
#endif

#define FOX_IMAGER_API __attribute__((visibility("default")))

typedef struct DVDImageBuilder* DVDImageBuildHandle;

/* percent: 0..100 within the current stage; stage: 0 .. stages - 1.
 * The builder does not read the result. */
typedef int (*DVDImageBuildProgressCallback)(void* context, float percent, int stage, int stages);

/* Null when no builder can be made. */
FOX_IMAGER_API DVDImageBuildHandle DVDImageBuild_Create(void);
FOX_IMAGER_API int DVDImageBuild_LoadINI(DVDImageBuildHandle handle, const char* path);
FOX_IMAGER_API int DVDImageBuild_SetOutputFolder(DVDImageBuildHandle handle, const char* folder);
FOX_IMAGER_API int DVDImageBuild_SetProgressCallback(DVDImageBuildHandle handle,
                                                     DVDImageBuildProgressCallback callback,
                                                     void* context);
FOX_IMAGER_API int DVDImageBuild_BuildDVD(DVDImageBuildHandle handle);
FOX_IMAGER_API int DVDImageBuild_StopBuildDVD(DVDImageBuildHandle handle);
/* Called during a build (from its callback), the builder goes once the
 * build has ended. */
FOX_IMAGER_API void DVDImageBuild_Destory(DVDImageBuildHandle handle);

/* Why the last call failed, in English; "" after a success. Valid until the
 * next call on the builder. */
FOX_IMAGER_API const char* DVDImageBuild_GetErrorText(DVDImageBuildHandle handle);

/* The console text of the last authoring run (dvdauthor's), for anyone who
 * wants to see its warnings. Valid until the next call on the builder. */
FOX_IMAGER_API const char* DVDImageBuild_GetAuthoringLog(DVDImageBuildHandle handle);

#ifdef __cplusplus
}
#endif

#endif
