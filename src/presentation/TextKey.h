#pragma once

#include <QHashFunctions>

#include <array>
#include <optional>
#include <string_view>

namespace dromel {

// Every user-visible text is named by one of these keys. A key's raw value is
// exactly its case name and is the message id in the translation tables, so
// the list below is the one place that names them.
#define DROMEL_TEXT_KEYS(X)                                                                                  \
    /* The desktop: opening, terminal, properties, context menus */                                          \
    X(openWith)                                                                                              \
    X(openWithTitle)                                                                                         \
    X(otherApplication)                                                                                      \
    X(searchApplications)                                                                                    \
    X(applications)                                                                                          \
    X(lookingForApplications)                                                                                \
    X(setAsDefault)                                                                                          \
    X(runOrOpenQuestion)                                                                                     \
    X(runOrOpenDetails)                                                                                      \
    X(runProgram)                                                                                            \
    X(openAsText)                                                                                            \
    X(openFailed)                                                                                            \
    X(openInTerminal)                                                                                        \
    X(noTerminal)                                                                                            \
    X(freeSpace)                                                                                             \
    X(selectionSize)                                                                                         \
    X(properties)                                                                                            \
    X(copyTo)                                                                                                \
    X(moveTo)                                                                                                \
    X(makeLink)                                                                                              \
    X(linkName)                                                                                              \
    X(newDocument)                                                                                           \
    X(noTemplates)                                                                                           \
    X(pasteInto)                                                                                             \
    X(showHiddenFiles)                                                                                       \
    X(sortBy)                                                                                                \
    X(chooseFolder)                                                                                          \
    X(propertiesTitle)                                                                                       \
    X(propKind)                                                                                              \
    X(propLocation)                                                                                          \
    X(propSize)                                                                                              \
    X(propSizeOnDisk)                                                                                        \
    X(propContents)                                                                                          \
    X(propCounting)                                                                                          \
    X(propTotal)                                                                                             \
    X(propModified)                                                                                          \
    X(propAccessed)                                                                                          \
    X(propChanged)                                                                                           \
    X(propCreated)                                                                                           \
    X(propOwner)                                                                                             \
    X(propGroup)                                                                                             \
    X(propOthers)                                                                                            \
    X(propPermissions)                                                                                       \
    X(propRead)                                                                                              \
    X(propWrite)                                                                                             \
    X(propExecute)                                                                                           \
    X(propApplyEnclosed)                                                                                     \
    X(propLinkTarget)                                                                                        \
    X(propVolume)                                                                                            \
    X(propOpensWith)                                                                                         \
    X(propChange)                                                                                            \
    X(propUnknown)                                                                                           \
    X(propNone)                                                                                              \
    X(propApply)                                                                                             \
    X(propClose)                                                                                             \
    X(propSeveral)                                                                                           \
    X(operationPermissions)                                                                                  \
    /* Undo */                                                                                               \
    X(undoFileOperation)                                                                                     \
    X(undoUnavailable)                                                                                       \
    X(undoEmpty)                                                                                             \
    X(undoBusy)                                                                                              \
    X(undoScope)                                                                                             \
    X(undoTask)                                                                                              \
    X(redoTask)                                                                                              \
    X(redo)                                                                                                  \
    X(redoEmpty)                                                                                             \
    X(undoNamed)                                                                                             \
    X(redoNamed)                                                                                             \
    X(commandCopy)                                                                                           \
    X(commandMove)                                                                                           \
    X(commandRename)                                                                                         \
    X(commandTrash)                                                                                          \
    X(commandRestore)                                                                                        \
    X(commandPermissions)                                                                                    \
    X(commandMakeLink)                                                                                       \
    X(commandNewFolder)                                                                                      \
    /* Settings window and menu */                                                                           \
    X(settings)                                                                                              \
    X(settingsMenu)                                                                                          \
    /* Window, tabs and toolbar */                                                                           \
    X(localFiles)                                                                                            \
    X(newTab)                                                                                                \
    X(closeTab)                                                                                              \
    X(back)                                                                                                  \
    X(forward)                                                                                               \
    X(up)                                                                                                    \
    X(refresh)                                                                                               \
    X(currentPath)                                                                                           \
    X(editPath)                                                                                              \
    X(editPathShortcut)                                                                                      \
    X(pathPlaceholder)                                                                                       \
    X(filter)                                                                                                \
    X(preview)                                                                                               \
    X(more)                                                                                                  \
    X(dismissError)                                                                                          \
    X(readOnly)                                                                                              \
    /* File list */                                                                                          \
    X(nameColumn)                                                                                            \
    X(kindColumn)                                                                                            \
    X(sizeColumn)                                                                                            \
    X(modifiedColumn)                                                                                        \
    X(fileList)                                                                                              \
    X(emptyFolder)                                                                                           \
    X(noMatches)                                                                                             \
    /* Item commands */                                                                                      \
    X(open)                                                                                                  \
    X(openInNewTab)                                                                                          \
    X(copy)                                                                                                  \
    X(cut)                                                                                                   \
    X(paste)                                                                                                 \
    X(undo)                                                                                                  \
    X(copyPath)                                                                                              \
    X(finder)                                                                                                \
    X(selectAll)                                                                                             \
    /* Sidebar */                                                                                            \
    X(home)                                                                                                  \
    X(desktop)                                                                                               \
    X(downloads)                                                                                             \
    X(documents)                                                                                             \
    X(favorites)                                                                                             \
    X(tree)                                                                                                  \
    X(volumes)                                                                                               \
    X(loading)                                                                                               \
    X(folder)                                                                                                \
    X(file)                                                                                                  \
    /* Application menu */                                                                                   \
    X(about)                                                                                                 \
    X(hide)                                                                                                  \
    X(quit)                                                                                                  \
    X(fileMenu)                                                                                              \
    X(editMenu)                                                                                              \
    X(goMenu)                                                                                                \
    X(windowMenu)                                                                                            \
    X(helpMenu)                                                                                              \
    X(minimize)                                                                                              \
    /* Preferences */                                                                                        \
    X(showHidden)                                                                                            \
    X(windowsKeys)                                                                                           \
    X(restoreTabs)                                                                                           \
    X(readOnlyNote)                                                                                          \
    X(language)                                                                                              \
    X(appearance)                                                                                            \
    X(skin)                                                                                                  \
    X(system)                                                                                                \
    X(light)                                                                                                 \
    X(dark)                                                                                                  \
    X(glass)                                                                                                 \
    X(solid)                                                                                                 \
    X(restartLanguage)                                                                                       \
    /* Browser errors and status line */                                                                     \
    X(invalidPath)                                                                                           \
    X(tooManyTabs)                                                                                           \
    X(directoryError)                                                                                        \
    X(readError)                                                                                             \
    X(closeNamedTab)                                                                                         \
    X(closeOtherTabs)                                                                                        \
    X(closeTabsToRight)                                                                                      \
    X(duplicateTab)                                                                                          \
    X(reopenClosedTab)                                                                                       \
    X(alwaysShowTabs)                                                                                        \
    X(thumbnails)                                                                                            \
    X(thumbnailsOff)                                                                                         \
    X(thumbnailsUpTo)                                                                                        \
    X(networkThumbnails)                                                                                     \
    X(closeWindow)                                                                                           \
    X(columnsMenu)                                                                                           \
    X(viewAsList)                                                                                            \
    X(viewAsIcons)                                                                                           \
    X(statusFiltered)                                                                                        \
    X(statusSelection)                                                                                       \
    X(statusLoading)                                                                                         \
    X(statusSorting)                                                                                         \
    X(items)                                                                                                 \
    X(selected)                                                                                              \
    /* File commands and prompts */                                                                          \
    X(newFolder)                                                                                             \
    X(newFolderName)                                                                                         \
    X(rename)                                                                                                \
    X(trash)                                                                                                 \
    X(operations)                                                                                            \
    X(cancelTask)                                                                                            \
    X(retryTask)                                                                                             \
    X(cleanUpTask)                                                                                           \
    X(taskUnreadable)                                                                                        \
    X(reviewLeftovers)                                                                                       \
    X(cancel)                                                                                                \
    X(create)                                                                                                \
    X(continueOperation)                                                                                     \
    X(skip)                                                                                                  \
    X(keepBoth)                                                                                              \
    X(replace)                                                                                               \
    X(conflictTitle)                                                                                         \
    X(conflictDetails)                                                                                       \
    X(replaceNote)                                                                                           \
    X(applyConflicts)                                                                                        \
    X(limitedTitle)                                                                                          \
    X(limitedBody)                                                                                           \
    X(extensionTitle)                                                                                        \
    X(extensionBody)                                                                                         \
    X(trashTitle)                                                                                            \
    X(trashBody)                                                                                             \
    X(plainPasteTitle)                                                                                       \
    X(plainPasteMoveBody)                                                                                    \
    X(plainPasteCopyBody)                                                                                    \
    X(pasteAnyway)                                                                                           \
    X(moreItems)                                                                                             \
    X(nameUndisplayable)                                                                                     \
    X(nameTooLong)                                                                                           \
    X(replaceFolderNote)                                                                                     \
    /* Operation panel */                                                                                    \
    X(operationSummary)                                                                                      \
    X(operationProgress)                                                                                     \
    X(operationRecovery)                                                                                     \
    X(operationResult)                                                                                       \
    X(noTasks)                                                                                               \
    X(journalInUse)                                                                                          \
    X(journalReadOnly)                                                                                       \
    X(journalInUseRefused)                                                                                   \
    X(taskCleanedUp)                                                                                         \
    X(taskCopy)                                                                                              \
    X(taskMove)                                                                                              \
    X(taskRename)                                                                                            \
    X(taskTrash)                                                                                             \
    X(taskNewFolder)                                                                                         \
    X(taskCopyOne)                                                                                           \
    X(taskMoveOne)                                                                                           \
    X(taskTrashOne)                                                                                          \
    X(taskRestore)                                                                                           \
    X(taskRestoreOne)                                                                                        \
    X(taskDelete)                                                                                            \
    X(taskDeleteOne)                                                                                         \
    X(taskPermissions)                                                                                       \
    X(taskPermissionsOne)                                                                                    \
    X(taskLinkOne)                                                                                           \
    X(taskLink)                                                                                              \
    X(dismissTask)                                                                                           \
    X(showTask)                                                                                              \
    X(taskBanner)                                                                                            \
    X(failedTasks)                                                                                           \
    X(cutMarked)                                                                                             \
    X(writeVersion)                                                                                          \
    /* Trash */                                                                                              \
    X(trashPlace)                                                                                            \
    X(trashOriginalColumn)                                                                                   \
    X(trashDeletedColumn)                                                                                    \
    X(trashNoRecord)                                                                                         \
    X(trashDamagedRecord)                                                                                    \
    X(trashMissingItem)                                                                                      \
    X(trashRestore)                                                                                          \
    X(trashEmpty)                                                                                            \
    X(trashDeletePermanently)                                                                                \
    X(emptyTrashOrphans)                                                                                     \
    X(deleteTitle)                                                                                           \
    X(emptyTrashTitle)                                                                                       \
    X(deleteBody)                                                                                            \
    /* Task phases, one per OperationPhase case in its order */                                              \
    X(phaseQueued)                                                                                           \
    X(phasePreparing)                                                                                        \
    X(phaseCopying)                                                                                          \
    X(phaseVerifying)                                                                                        \
    X(phaseWaiting)                                                                                          \
    X(phaseCommitting)                                                                                       \
    X(phaseCancelling)                                                                                       \
    X(phaseCompleted)                                                                                        \
    X(phasePartial)                                                                                          \
    X(phaseFailed)                                                                                           \
    X(phaseCancelled)                                                                                        \
    X(phaseNeedsReview)                                                                                      \
    /* Item outcomes, one per ItemOutcome case */                                                            \
    X(outcomeSucceeded)                                                                                      \
    X(outcomeSkipped)                                                                                        \
    X(outcomeFailed)                                                                                         \
    X(outcomeCancelled)                                                                                      \
    /* Problems, one per OperationProblem::Code case */                                                      \
    X(problemInvalidName)                                                                                    \
    X(problemUnsupported)                                                                                    \
    X(problemSourceChanged)                                                                                  \
    X(problemTargetChanged)                                                                                  \
    X(problemDescendant)                                                                                     \
    X(problemMetadataConsent)                                                                                \
    X(problemVerification)                                                                                   \
    X(problemSystem)                                                                                         \
    X(problemJournal)                                                                                        \
    X(problemInterrupted)                                                                                    \
    /* Quitting with tasks */                                                                                \
    X(quitTasksTitle)                                                                                        \
    X(quitTasksBody)                                                                                         \
    X(quitAfterCancel)                                                                                       \
    X(search)                                                                                                \
    X(searchPlaceholder)                                                                                     \
    X(searchContentPlaceholder)                                                                              \
    X(searchThisFolder)                                                                                      \
    X(searchHome)                                                                                            \
    X(searchThisVolume)                                                                                      \
    X(searchStart)                                                                                           \
    X(searchNames)                                                                                           \
    X(searchContents)                                                                                        \
    X(searchMode)                                                                                            \
    X(searchType)                                                                                            \
    X(searchAnyType)                                                                                         \
    X(searchTypeFolder)                                                                                      \
    X(searchTypeDocument)                                                                                    \
    X(searchTypeImage)                                                                                       \
    X(searchTypeAudio)                                                                                       \
    X(searchTypeVideo)                                                                                       \
    X(searchTypeArchive)                                                                                     \
    X(searchModified)                                                                                        \
    X(searchAnyTime)                                                                                         \
    X(searchPastDay)                                                                                         \
    X(searchPastWeek)                                                                                        \
    X(searchPastMonth)                                                                                       \
    X(searchPastYear)                                                                                        \
    X(searchSizeAbove)                                                                                       \
    X(searchSizeBelow)                                                                                       \
    X(searchOtherVolumes)                                                                                    \
    X(searchClose)                                                                                           \
    X(searchUnreadable)                                                                                      \
    X(searchContentLimit)                                                                                    \
    X(locationColumn)                                                                                        \
    X(openContainingFolder)

enum class TextKey {
#define DROMEL_TEXT_KEY_CASE(name) name,
    DROMEL_TEXT_KEYS(DROMEL_TEXT_KEY_CASE)
#undef DROMEL_TEXT_KEY_CASE
};

inline constexpr std::array kAllTextKeys{
#define DROMEL_TEXT_KEY_ENTRY(name) TextKey::name,
    DROMEL_TEXT_KEYS(DROMEL_TEXT_KEY_ENTRY)
#undef DROMEL_TEXT_KEY_ENTRY
};

// The case name; the view is backed by a literal, so data() is NUL-terminated.
std::string_view rawValue(TextKey key);
std::optional<TextKey> textKeyFromRawValue(std::string_view raw);

inline size_t qHash(TextKey key, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(key), seed);
}

} // namespace dromel
